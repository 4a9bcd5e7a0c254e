// The Windows icon file kept with the sources (data/windows/quillbay.ico) is written from
// the icon painter; these checks fail when it is damaged or no longer shows what the
// painter paints, until it is written again (cmake/windows.cmake says how).

#include "app/appicon.h"

#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QTest>

#include <map>

using namespace Qt::StringLiterals;

namespace {

struct IconEntry {
    int width = 0;
    int height = 0;
    quint16 bitsPerPixel = 0;
    QByteArray data;
};

// The images of an ICO file by width; fails the test on a damaged header or directory.
std::map<int, IconEntry> readIcoFile(const QByteArray& file)
{
    QDataStream in(file);
    in.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0;
    quint16 type = 0;
    quint16 count = 0;
    in >> reserved >> type >> count;
    if (in.status() != QDataStream::Ok || reserved != 0 || type != 1)
        return {};
    const qsizetype directoryEnd = 6 + 16 * qsizetype(count);
    std::map<int, IconEntry> entries;
    for (int i = 0; i < count; ++i) {
        quint8 width = 0;
        quint8 height = 0;
        quint8 colours = 0;
        quint8 unused = 0;
        quint16 planes = 0;
        quint16 bitsPerPixel = 0;
        quint32 size = 0;
        quint32 offset = 0;
        in >> width >> height >> colours >> unused >> planes >> bitsPerPixel >> size >> offset;
        // Every image lies after the directory and inside the file.
        if (in.status() != QDataStream::Ok || offset < directoryEnd
            || qsizetype(offset) + qsizetype(size) > file.size())
            return {};
        IconEntry entry;
        entry.width = width == 0 ? 256 : width;
        entry.height = height == 0 ? 256 : height;
        entry.bitsPerPixel = bitsPerPixel;
        entry.data = file.mid(offset, size);
        entries[entry.width] = entry;
    }
    return entries;
}

// The largest difference of one colour or alpha channel between two images of one size.
int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return largest;
}

} // namespace

class TestWindowsIcon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void image_data();
    void image();
};

void TestWindowsIcon::image_data()
{
    QTest::addColumn<int>("size");
    // Explorer's and the taskbar's sizes at 100 to 200 % scaling, and the large tiles.
    for (const int size : {16, 24, 32, 48, 64, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestWindowsIcon::image()
{
    QFETCH(int, size);
    QFile file(u":/quillbay.ico"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::map<int, IconEntry> entries = readIcoFile(file.readAll());
    QVERIFY2(!entries.empty(), "not an icon file, or its directory points outside it");

    const auto found = entries.find(size);
    QVERIFY2(found != entries.end(), "no image of this size");
    const IconEntry& entry = found->second;
    QCOMPARE(entry.height, size);
    QCOMPARE(entry.bitsPerPixel, quint16(32));
    const QImage stored = QImage::fromData(entry.data, "PNG");
    QVERIFY2(!stored.isNull(), "the image is not a PNG");
    QCOMPARE(stored.size(), QSize(size, size));

    // Antialiasing may differ by a step or two between builds; a changed picture does not.
    const QImage painted = PaintQuillbayIcon(size).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(largestDifference(stored.convertToFormat(QImage::Format_ARGB32), painted) <= 3,
             "the icon file differs from the painted icon: write it again");
}

QTEST_GUILESS_MAIN(TestWindowsIcon)
#include "tst_windowsicon.moc"
