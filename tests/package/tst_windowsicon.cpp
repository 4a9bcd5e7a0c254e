// The Windows icon file kept with the sources (data/windows/quillbay.ico) is written from
// the icon painter; these checks fail when it is damaged or no longer shows what the
// painter paints, until it is written again (cmake/windows.cmake says how).

#include "app/appicon.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

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
    std::map<int, IconEntry> entries;
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(file.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(file.constData() + at); };
    if (file.size() < 6 || u16(0) != 0 || u16(2) != 1)
        return entries;
    const int count = u16(4);
    const qsizetype directoryEnd = 6 + 16 * qsizetype(count);
    if (file.size() < directoryEnd)
        return entries;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = 6 + 16 * qsizetype(i);
        const quint32 size = u32(at + 8);
        const quint32 offset = u32(at + 12);
        // Every image lies after the directory and inside the file.
        if (offset < directoryEnd || qsizetype(offset) + qsizetype(size) > file.size())
            return {};
        IconEntry entry;
        entry.width = quint8(file[at]) == 0 ? 256 : quint8(file[at]);
        entry.height = quint8(file[at + 1]) == 0 ? 256 : quint8(file[at + 1]);
        entry.bitsPerPixel = u16(at + 6);
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
