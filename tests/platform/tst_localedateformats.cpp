// The C library's date and time formats: a fixed locale, and the user's from the environment.
#include "platform/localedateformats.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestLocaleDateFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void cLocaleFormats();
    void userLocaleFromTheEnvironment();
};

void TestLocaleDateFormats::cleanup()
{
    for (const char* name : {"LOCPATH", "LC_ALL", "LC_TIME", "LANG"})
        qunsetenv(name);
}

void TestLocaleDateFormats::cLocaleFormats()
{
    for (const QByteArray& name : {QByteArray("C"), QByteArray("xx_NOWHERE.UTF-8")}) {
        LocaleDateFormats formats(name);
        QCOMPARE(formats.shortDate(QDate(2024, 3, 7)), u"03/07/24"_s);
        QCOMPARE(formats.longTime(QTime(13, 4, 5)), u"13:04:05"_s);
    }
}

void TestLocaleDateFormats::userLocaleFromTheEnvironment()
{
    if (!QFile::exists(u"/usr/share/i18n/locales/ko_KR"_s))
        QSKIP("The locale sources (Debian package locales) are not installed");
    // A locale of our own, so the test does not depend on which ones the system has built.
    const QTemporaryDir dir;
    const QString target = dir.filePath(u"ko_KR.UTF-8"_s);
    QCOMPARE(QProcess::execute(u"localedef"_s, {u"-i"_s, u"ko_KR"_s, u"-f"_s, u"UTF-8"_s, target}), 0);
    qputenv("LOCPATH", QFile::encodeName(dir.path()));
    qputenv("LANG", "C");
    qputenv("LC_TIME", "ko_KR.UTF-8");

    LocaleDateFormats formats;
    QCOMPARE(formats.shortDate(QDate(2024, 3, 7)), u"2024년 03월 07일"_s);
    QCOMPARE(formats.longTime(QTime(13, 4, 5)), u"13시 04분 05초"_s);
}

QTEST_GUILESS_MAIN(TestLocaleDateFormats)
#include "tst_localedateformats.moc"
