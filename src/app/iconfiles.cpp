// Writes the program's icon as PNG files into a hicolor theme tree: <folder>/NxN/apps/quillbay.png.

#include "app/appicon.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: quillbay_icons <hicolor folder>\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) || !PaintQuillbayIcon(size).save(folder + QStringLiteral("/quillbay.png"))) {
            std::fprintf(stderr, "cannot write icons under %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
