// Opening a file with the desktop's program through xdg-open: its answer becomes the
// shell-style result, and a viewer that xdg-open keeps waiting for counts as opened.
#include "platform/xdgopen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestXdgOpen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void resultFollowsTheOpener_data();
    void resultFollowsTheOpener();
    void missingFileRunsNothing();

private:
    // An xdg-open that notes its argument and then runs the body.
    void opener(const QString& body) const;
    QString called() const;

    QTemporaryDir m_dir;
    QByteArray m_path;
};

void TestXdgOpen::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkdir(u"bin"_s));
    QFile help(m_dir.filePath(u"help.html"_s));
    QVERIFY(help.open(QIODevice::WriteOnly));
    m_path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir.filePath(u"bin"_s)) + ':' + m_path);
}

void TestXdgOpen::cleanupTestCase()
{
    qputenv("PATH", m_path);
}

void TestXdgOpen::opener(const QString& body) const
{
    QFile script(m_dir.filePath(u"bin/xdg-open"_s));
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write(u"#!/bin/sh\nprintf '%s' \"$1\" > '%1'\n%2\n"_s.arg(m_dir.filePath(u"called"_s), body).toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QFile::remove(m_dir.filePath(u"called"_s));
}

QString TestXdgOpen::called() const
{
    QFile file(m_dir.filePath(u"called"_s));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TestXdgOpen::resultFollowsTheOpener_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("result");
    QTest::newRow("opened") << u"exit 0"_s << 42;
    QTest::newRow("file gone meanwhile") << u"exit 2"_s << 2;
    QTest::newRow("no program for the file") << u"exit 3"_s << 31;
    QTest::newRow("the program failed") << u"exit 4"_s << 29;
    QTest::newRow("the opener was killed") << u"kill -9 $$"_s << 29;
    QTest::newRow("a viewer still open") << u"sleep 5"_s << 42;
}

void TestXdgOpen::resultFollowsTheOpener()
{
    QFETCH(QString, body);
    QFETCH(int, result);
    opener(body);
    XdgOpen opener;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(opener.openFile(m_dir.filePath(u"help.html"_s), {}, 1, {}), result);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(called(), m_dir.filePath(u"help.html"_s));
}

void TestXdgOpen::missingFileRunsNothing()
{
    opener(u"exit 0"_s);
    XdgOpen opener;
    QCOMPARE(opener.openFile(m_dir.filePath(u"none.html"_s), {}, 1, {}), 2);
    QCOMPARE(called(), QString());
}

QTEST_MAIN(TestXdgOpen)
#include "tst_xdgopen.moc"
