#include "util/textutils.h"

#include "scriptedinteraction.h"
#include "util/errors.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTextUtils : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void substringsClamp();
    void posNoCaseBasics();
    void posNoCaseAtThreshold();
    void posMethodsAgreeOnRandomText();
    void delimiters();
    void joinPath();
    void textToBool();
    void appDirOverride();
};

void TestTextUtils::substringsClamp()
{
    const QString t = u"abcdef"_s;
    QCOMPARE(TextMid(t, 3, -1), u"cdef"_s);
    QCOMPARE(TextMid(t, 0, 2), u"ab"_s);
    QCOMPARE(TextMid(t, -4, 3), u"abc"_s);
    QCOMPARE(TextMid(t, 7, 1), QString());
    QCOMPARE(TextMid(t, 2, -5), QString());
    QCOMPARE(TextMid(t, 5, 100), u"ef"_s);
    QCOMPARE(TextMid(QString(), 1, -1), QString());
    QCOMPARE(TextLeft(t, 0), QString());
    QCOMPARE(TextLeft(t, 10), t);
    QCOMPARE(TextRight(u"abc"_s, 5), u"abc"_s);
    QCOMPARE(TextRight(u"abc"_s, 0), QString());
    QCOMPARE(TextRight(u"abc"_s, 2), u"bc"_s);
    QCOMPARE(TextDropRight(u"abc"_s, 3), QString());
    QCOMPARE(TextDropRight(u"abc"_s, 4), QString());
    QCOMPARE(TextDropRight(u"abc"_s, 1), u"ab"_s);
    QCOMPARE(TextDropRight(u"abc"_s, -2), u"abc"_s);
}

void TestTextUtils::posNoCaseBasics()
{
    QCOMPARE(TextPosNoCase(QString(), u"abc"_s), 0);
    QCOMPARE(TextPosNoCase(u"B"_s, u"abcb"_s), 2);
    QCOMPARE(TextPosNoCase(u"x"_s, u"abc"_s), 0);
    QCOMPARE(TextPosNoCase(u"abc"_s, QString()), 0);
    QCOMPARE(TextPosNoCase(u"ÄÖ"_s, u"xäö"_s), 2);
    QCOMPARE(TextPosNoCase(u"LONGNEEDLE"_s, u"short"_s), 0);
    // The skip-table method alone: an empty needle gives 1, a longer needle 0.
    QCOMPARE(TextPosSkipTable(QString(), u"abc"_s), 1);
    QCOMPARE(TextPosSkipTable(u"abcdefghij"_s, u"abc"_s), 0);
}

void TestTextUtils::posNoCaseAtThreshold()
{
    // Both lengths around the switch of methods find the first of two occurrences.
    const QString eight = u"AbCdEfGh"_s;
    const QString nine = u"aBcDeFgHi"_s;
    const QString hay = u"--abcdefghi--ABCDEFGHI--"_s;
    QCOMPARE(TextPosNoCase(eight, hay), 3);
    QCOMPARE(TextPosNoCase(nine, hay), 3);
    QCOMPARE(TextPosNoCase(nine.toUpper(), hay.toLower()), 3);
    QCOMPARE(TextPosNoCase(u"ABCDEFGHIJ"_s, u"abcdefghi"_s), 0);
    // A match at the very end.
    QCOMPARE(TextPosNoCase(u"windowtitle"_s, u"My WindowTitle"_s), 4);
}

void TestTextUtils::posMethodsAgreeOnRandomText()
{
    // Units whose low bytes collide (A, Ł = U+0141, ʁ = U+0241) and a few others.
    const QString alphabet = u"aAbBcC\u0141\u0142\u0241\u00E9\u00C9\u4E2D"_s;
    QRandomGenerator rng(20261209);
    auto randomText = [&](qsizetype length) {
        QString s;
        for (qsizetype i = 0; i < length; ++i)
            s += alphabet[rng.bounded(int(alphabet.size()))];
        return s;
    };
    auto lower = [](QString s) {
        for (QChar& c : s)
            c = c.toLower();
        return s;
    };
    int found = 0;
    for (int m = 1; m <= 30; ++m) {
        for (int round = 0; round < 60; ++round) {
            QString hay = randomText(rng.bounded(0, 120));
            QString needle = randomText(m);
            switch (round % 4) {
            case 0: hay = needle.toUpper() + hay; break; // at the start
            case 1: hay = hay + needle.toUpper(); break; // at the end
            case 2: break; // probably nowhere
            case 3: hay.insert(hay.size() / 2, needle); break;
            }
            const qsizetype expected = hay.indexOf(needle, 0, Qt::CaseInsensitive) + 1;
            const QString ln = lower(needle);
            const QString lh = lower(hay);
            QCOMPARE(TextPosScan(ln, lh), expected);
            QCOMPARE(TextPosSkipTable(ln, lh), expected);
            QCOMPARE(TextPosNoCase(needle, hay), expected);
            found += expected > 0;
        }
    }
    QVERIFY(found > 900); // the generated cases do exercise matches
}

void TestTextUtils::delimiters()
{
    QCOMPARE(TextBefore(u"a||b"_s, u"||"_s), u"a"_s);
    QCOMPARE(TextBefore(u"||b"_s, u"||"_s), QString());
    QCOMPARE(TextBefore(u"ab"_s, u"||"_s), QString());
    QCOMPARE(TextAfter(u"a||b||c"_s, u"||"_s), u"b||c"_s);
    QCOMPARE(TextAfter(u"a||"_s, u"||"_s), QString());
    QCOMPARE(TextAfter(u"ab"_s, u"||"_s), QString());
    QCOMPARE(TextBetween(u"x^^INPUT:Name||Bob^^y"_s, u"^^INPUT:"_s, u"^^"_s), u"Name||Bob"_s);
    QCOMPARE(TextBetween(u"x^^input:Name^^"_s, u"^^INPUT:"_s, u"^^"_s), u"Name"_s);
    QCOMPARE(TextBetween(u"^^INPUT:abc"_s, u"^^INPUT:"_s, u"^^"_s), QString());
    QCOMPARE(TextBetween(u"%INCLUDE:%rest"_s, u"%INCLUDE:"_s, u"%"_s), QString());
}

void TestTextUtils::joinPath()
{
    QCOMPARE(JoinPath(u"C:\\App\\"_s, u"\\options.ini"_s), u"C:\\App\\options.ini"_s);
    QCOMPARE(JoinPath(u"/opt/app"_s, u"options.ini"_s), u"/opt/app/options.ini"_s);
    QCOMPARE(JoinPath(u"/opt/app/"_s, u"/options.ini"_s), u"/opt/app/options.ini"_s);
    QCOMPARE(JoinPath(QString(), u"x.ini"_s), u"x.ini"_s);
    QCOMPARE(JoinPath(u"C:\\App"_s, QString()), u"C:\\App\\"_s);
    QCOMPARE(JoinPath(u"/a//"_s, u"b"_s), u"/a//b"_s);
}

void TestTextUtils::textToBool()
{
    for (const QString& yes : {u"YES"_s, u"True"_s, u"t"_s, u"1"_s, u"y"_s, u"yEs"_s})
        QVERIFY2(TextToBool(yes), qPrintable(yes));
    for (const QString& no : {QString(), u"no"_s, u"0"_s, u" yes"_s, u"yes "_s, u"2"_s, u"ｙｅｓ"_s})
        QVERIFY2(!TextToBool(no), qPrintable(no));
    QVERIFY(TextToBool(BoolToText(true)));
    QVERIFY(!TextToBool(BoolToText(false)));
    QCOMPARE(BoolToText(true), u"True"_s);
    QCOMPARE(BoolToText(false), u"False"_s);
}

void TestTextUtils::appDirOverride()
{
    const QString real = AppDir();
    QVERIFY(!real.isEmpty());
    QVERIFY(!real.endsWith(u'/'));
    OverrideAppDir(u"/somewhere"_s);
    QCOMPARE(AppDir(), u"/somewhere"_s);
    OverrideAppDir({});
    QCOMPARE(AppDir(), real);
}

QTEST_GUILESS_MAIN(TestTextUtils)
#include "tst_textutils.moc"
