// Writes the program's icon files:
//   quillbay_icons <hicolor folder>   PNG files in a theme tree: <folder>/NxN/apps/quillbay.png
//   quillbay_icons --ico <file>       a Windows icon file holding each size as a PNG image

#include "app/appicon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <cstdio>

namespace {

int writeThemeIcons(const QString& root)
{
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) || !PaintQuillbayIcon(size).save(folder + QStringLiteral("/quillbay.png"))) {
            std::fprintf(stderr, "cannot write icons under %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}

template <typename T> void append(QByteArray& bytes, T value)
{
    const T little = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
}

// An ICO file: a 6-byte header, a 16-byte entry per image, then the images. A width or
// height of 0 in an entry stands for 256.
int writeWindowsIcon(const QString& path)
{
    const QList<int> sizes{16, 24, 32, 48, 64, 256};
    QList<QByteArray> images;
    for (const int size : sizes) {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!PaintQuillbayIcon(size).save(&png, "PNG")) {
            std::fputs("cannot encode the icon as PNG\n", stderr);
            return 1;
        }
        images.append(png.data());
    }

    QByteArray ico;
    append<quint16>(ico, 0);
    append<quint16>(ico, 1); // an icon, not a cursor
    append<quint16>(ico, quint16(sizes.size()));
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const auto side = quint8(sizes[i] == 256 ? 0 : sizes[i]);
        append<quint8>(ico, side);
        append<quint8>(ico, side);
        append<quint8>(ico, 0); // no palette
        append<quint8>(ico, 0);
        append<quint16>(ico, 1); // planes
        append<quint16>(ico, 32); // bits per pixel
        append<quint32>(ico, quint32(images[i].size()));
        append<quint32>(ico, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& image : images)
        ico.append(image);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ico) != ico.size() || !file.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2)
        return writeThemeIcons(QString::fromLocal8Bit(argv[1]));
    if (argc == 3 && qstrcmp(argv[1], "--ico") == 0)
        return writeWindowsIcon(QString::fromLocal8Bit(argv[2]));
    std::fputs("usage: quillbay_icons <hicolor folder>\n"
               "       quillbay_icons --ico <file.ico>\n",
               stderr);
    return 2;
}
