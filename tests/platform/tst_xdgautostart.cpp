#include "platform/xdgautostart.h"
#include "util/errors.h"

#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestXdgAutostart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void execLine_data();
    void execLine();
    void switchedOffByTheDesktop();
    void unwritableFolderIsReported();
    void fullDiskLeavesEntryAsItWas();
};

void TestXdgAutostart::execLine_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("exec");
    QTest::newRow("plain") << u"/usr/bin/quillbay"_s << QByteArray(R"(Exec="/usr/bin/quillbay" --hide)");
    QTest::newRow("blanks") << u"/home/a b/quillbay"_s << QByteArray(R"(Exec="/home/a b/quillbay" --hide)");
    QTest::newRow("reserved") << u"/x/$a`b\"c\\d%e"_s << QByteArray(R"(Exec="/x/\\$a\\`b\\"c\\\\d%%e" --hide)");
    QTest::newRow("non-ASCII") << u"/home/zoë/quillbay"_s << u"Exec=\"/home/zoë/quillbay\" --hide"_s.toUtf8();
}

void TestXdgAutostart::execLine()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, exec);
    QTemporaryDir dir;
    const QString entry = dir.filePath(u"autostart/quillbay.desktop"_s);
    XdgAutostart start(entry, program);
    QVERIFY(!start.isEnabled());
    start.setEnabled(true);
    QVERIFY(start.isEnabled());
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("[Desktop Entry]"));
    QVERIFY2(lines.contains(exec), lines.join('|').constData());
    file.close();
    start.setEnabled(false);
    QVERIFY(!QFile::exists(entry));
    QVERIFY(!start.isEnabled());
    start.setEnabled(false); // already off
}

void TestXdgAutostart::switchedOffByTheDesktop()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(u"quillbay.desktop"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=quillbay\nHidden = true\n");
    file.close();
    XdgAutostart start(file.fileName(), u"/usr/bin/quillbay"_s);
    QVERIFY(!start.isEnabled());
    start.setEnabled(true);
    QVERIFY(start.isEnabled());
}

void TestXdgAutostart::unwritableFolderIsReported()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(u"autostart"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString entry = dir.filePath(u"autostart/quillbay.desktop"_s);
    XdgAutostart start(entry, u"/usr/bin/quillbay"_s);
    try {
        start.setEnabled(true);
        QFAIL("no error raised");
    } catch (const Error& error) {
        QCOMPARE(error.text(), u"Unable to write to "_s + entry);
    }
}

void TestXdgAutostart::fullDiskLeavesEntryAsItWas()
{
    QTemporaryDir dir;
    const QString entry = dir.filePath(u"quillbay.desktop"_s);
    const QByteArray hidden = "[Desktop Entry]\nType=Application\nExec=quillbay\nHidden=true\n";
    QVERIFY(WriteFileBytes(entry, hidden));
    XdgAutostart start(entry, u"/usr/bin/quillbay"_s);
    QString error;
    {
        const FullDisk full;
        try {
            start.setEnabled(true);
        } catch (const Error& e) {
            error = e.text();
        }
    }
    QCOMPARE(error, u"Unable to write to "_s + entry);
    QCOMPARE(ReadFileBytes(entry), hidden);
    QVERIFY(!start.isEnabled());
}

QTEST_GUILESS_MAIN(TestXdgAutostart)
#include "tst_xdgautostart.moc"
