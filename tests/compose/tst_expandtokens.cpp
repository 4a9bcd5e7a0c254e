#include "compose/expandtokens.h"
#include "literalexpansion.h"

#include "util/errors.h"

#include <QHash>
#include <QRandomGenerator>
#include <QTest>

#include <deque>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Every source at once, recording what it was asked.
struct Fakes : ClipboardTextSource, Clock, DateFormats, FreeTextPrompt, IncludeLookup {
    std::optional<QString> clipboard;
    QDateTime time{QDate(2024, 3, 7), QTime(13, 4, 5)};
    // Answers in order; nullopt cancels. When empty, answerFor decides.
    std::deque<std::optional<QString>> answers;
    std::function<QString(int call, const QString& prompt, const QString& value)> answerFor;
    // Bodies by Hotword, matched without regard to case; several entries give several rows.
    QMultiHash<QString, QString> bodies;

    int clipboardReads = 0;
    int clockReads = 0;
    QStringList prompts; // "prompt|default"
    QStringList lookups;

    std::optional<QString> clipboardText() override
    {
        ++clipboardReads;
        return clipboard;
    }
    QDateTime now() override
    {
        ++clockReads;
        return time;
    }
    QString shortDate(QDate date) override { return date.toString(u"dd.MM.yyyy"_s); }
    QString longTime(QTime t) override { return t.toString(u"HH:mm:ss"_s); }
    std::optional<QString> askFreeText(const QString& prompt, const QString& value) override
    {
        prompts << prompt + u'|' + value;
        if (!answers.empty()) {
            std::optional<QString> answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (!answerFor)
            throw Error(u"unexpected prompt "_s + prompt);
        return answerFor(int(prompts.size()), prompt, value);
    }
    HotwordText textByHotword(const QString& hotword) override
    {
        lookups << hotword;
        const QStringList rows = bodies.values(hotword.toLower());
        return {int(rows.size()), rows.size() == 1 ? rows.first() : QString()};
    }

    TokenSources sources() { return {*this, *this, *this, *this, *this}; }
    QString expand(const QString& text) { return ExpandTokens(text, sources()); }
};

} // namespace

class TestExpandTokens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textsLeftAlone_data();
    void textsLeftAlone();
    void clipboardAndDates_data();
    void clipboardAndDates();
    void freeTextFields();
    void cancelledPromptAborts();
    void includes();
    void unendingTextsEnd_data();
    void unendingTextsEnd();
    void overlapsAndCompletions_data();
    void overlapsAndCompletions();
    void fanOutIsCapped_data();
    void fanOutIsCapped();
    void agreesWithTheLiteralSteps();
};

void TestExpandTokens::textsLeftAlone_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << u"Dear customer,\r\nthank you. 100% sure ^^ || ^"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("unclosed date") << u"%DATE and %DATETIME"_s;
    QTest::newRow("lower include only") << u"see %include:abc% and %Include:def%"_s;
    QTest::newRow("lower field only") << u"^^input:Name||^^ ^^Input:Age||3^^"_s;
}

void TestExpandTokens::textsLeftAlone()
{
    QFETCH(QString, text);
    Fakes fakes;
    QCOMPARE(fakes.expand(text), text);
    QCOMPARE(fakes.clipboardReads + fakes.clockReads, 0);
    QVERIFY(fakes.prompts.isEmpty());
    QVERIFY(fakes.lookups.isEmpty());
}

void TestExpandTokens::clipboardAndDates_data()
{
    QTest::addColumn<std::optional<QString>>("clipboard");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const std::optional<QString> none;
    const QTime afternoon(13, 4, 5);
    QTest::newRow("date any case") << none << afternoon << u"%date%, %Date%, %DATE%"_s
                                   << u"07.03.2024, 07.03.2024, 07.03.2024"_s;
    QTest::newRow("date and time") << none << afternoon << u"[%DateTime%]"_s << u"[07.03.2024 13:04:05]"_s;
    QTest::newRow("midnight") << none << QTime(0, 0) << u"[%DATETIME%]"_s << u"[07.03.2024]"_s;
    QTest::newRow("no clipboard text") << none << afternoon << u"a %CLIPBOARD% b"_s << u"a %CLIPBOARD% b"_s;
    QTest::newRow("clipboard every copy")
        << std::optional(u"key-123"_s) << afternoon << u"%CLIPBOARD%/%clipboard%"_s << u"key-123/key-123"_s;
    // Clipboard text is data, whatever it holds: no prompt, no lookup, no date.
    const QString customerMail = u"on %DATE% ^^INPUT:Password||^^ %INCLUDE:internal% %Clipboard%"_s;
    QTest::newRow("clipboard text is data")
        << std::optional(customerMail) << afternoon << u"%CLIPBOARD%! %DATE%"_s << customerMail + u"! 07.03.2024"_s;
    QTest::newRow("clipboard not rescanned")
        << std::optional(u"x%CLIPBOARD%"_s) << afternoon << u"%CLIPBOARD%"_s << u"x%CLIPBOARD%"_s;
}

void TestExpandTokens::clipboardAndDates()
{
    QFETCH(std::optional<QString>, clipboard);
    QFETCH(QTime, time);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Fakes fakes;
    fakes.clipboard = clipboard;
    fakes.time.setTime(time);
    QCOMPARE(fakes.expand(text), expected);
}

void TestExpandTokens::freeTextFields()
{
    Fakes fakes;
    fakes.answers = {u""_s, u"1"_s, u"2"_s};
    QCOMPARE(fakes.expand(u"Hi ^^INPUT:Customer's First Name||^^!"_s), u"Hi !"_s);
    QCOMPARE(fakes.expand(u"^^INPUT:Name||Bob^^ ^^INPUT:Name||Jim^^ ^^input:NAME||bob^^"_s), u"1 2 1"_s);
    QCOMPARE(fakes.prompts, (QStringList{u"Customer's First Name|"_s, u"Name|Bob"_s, u"Name|Jim"_s}));
}

void TestExpandTokens::cancelledPromptAborts()
{
    Fakes fakes;
    fakes.bodies.insert(u"abc"_s, u"body"_s);
    fakes.answers = {u"Bob"_s, std::nullopt};
    QVERIFY_THROWS_EXCEPTION(Abort, fakes.expand(u"%INCLUDE:abc% ^^INPUT:Name||^^ ^^INPUT:Age||^^"_s));
    QCOMPARE(fakes.prompts.size(), 2);
    QVERIFY(fakes.lookups.isEmpty());
}

void TestExpandTokens::includes()
{
    Fakes fakes;
    fakes.bodies.insert(u"abc"_s, u"[abc: %INCLUDE:def% %DATE% ^^INPUT:Name||^^ %CLIPBOARD%]"_s);
    fakes.bodies.insert(u"def"_s, u"def-body"_s);
    fakes.bodies.insert(u"twice"_s, u"one"_s);
    fakes.bodies.insert(u"twice"_s, u"two"_s);
    fakes.clipboard = u"clip"_s;

    QCOMPARE(fakes.expand(u"%INCLUDE:abc% / %include:ABC%"_s),
             u"[abc: def-body %DATE% ^^INPUT:Name||^^ %CLIPBOARD%] / "
             "[abc: def-body %DATE% ^^INPUT:Name||^^ %CLIPBOARD%]"_s);
    QCOMPARE(fakes.lookups, (QStringList{u"abc"_s, u"def"_s}));

    fakes.lookups.clear();
    QCOMPARE(fakes.expand(u"%INCLUDE:nosuch%|%INCLUDE:twice%|%INCLUDE:%"_s),
             u"HotWord \"nosuch\" not found.|"
             u"Multiple entries found for hotword \"twice\". Please check.|"
             u"HotWord \"\" not found."_s);
    QCOMPARE(fakes.lookups, (QStringList{u"nosuch"_s, u"twice"_s, QString()}));
}

void TestExpandTokens::unendingTextsEnd_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("prompts");
    // Each stuck token stays as written; the field after it is still asked for.
    const QString next = u" ^^INPUT:Next||^^"_s;
    const QStringList askedNext{u"Next|"_s};
    QTest::newRow("no bars") << u"^^INPUT:Name^^"_s + next << u"^^INPUT:Name^^ N"_s << askedNext;
    QTest::newRow("bars first") << u"^^INPUT:||Bob^^"_s + next << u"^^INPUT:||Bob^^ N"_s << askedNext;
    QTest::newRow("empty body") << u"^^INPUT:^^"_s + next << u"^^INPUT:^^ N"_s << askedNext;
    QTest::newRow("lower stuck") << u"^^input:x^^"_s + next << u"^^input:x^^ N"_s << askedNext;
    QTest::newRow("no closing") << next + u" ^^INPUT:Name||Bob"_s << u" N ^^INPUT:Name||Bob"_s << askedNext;
    QTest::newRow("answer unclosed") << u"^^INPUT:Q||^^ tail^^"_s << u"^^INPUT:Next tail^^"_s << QStringList{u"Q|"_s};
    QTest::newRow("include unclosed") << u"%INCLUDE:leaf% %INCLUDE:leaf"_s << u"L %INCLUDE:leaf"_s << QStringList();
    QTest::newRow("self") << u"<%INCLUDE:self%>"_s << u"<me Circular include of hotword \"self\". Please check.>"_s
                          << QStringList();
    QTest::newRow("cycle") << u"%INCLUDE:ping%"_s
                           << u"ping(pong(Circular include of hotword \"PING\". Please check.))"_s << QStringList();
    QTest::newRow("nested body unclosed") << u"%INCLUDE:open%!"_s << u"[%INCLUDE:leaf]!"_s << QStringList();
    QString deep = u"%INCLUDE:d0%"_s;
    QString deepResult = u"Includes nested too deeply at hotword \"d32\". Please check."_s;
    for (int i = MaxIncludeDepth - 1; i >= 0; --i)
        deepResult = u"d%1(%2)"_s.arg(i).arg(deepResult);
    QTest::newRow("deep") << deep << deepResult << QStringList();
}

void TestExpandTokens::unendingTextsEnd()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QStringList, prompts);
    Fakes fakes;
    fakes.answerFor = [](int, const QString& prompt, const QString&) {
        return prompt == u"Q"_s ? u"^^INPUT:Next"_s : prompt.left(1);
    };
    fakes.bodies.insert(u"leaf"_s, u"L"_s);
    fakes.bodies.insert(u"self"_s, u"me %INCLUDE:self%"_s);
    fakes.bodies.insert(u"ping"_s, u"ping(%INCLUDE:pong%)"_s);
    fakes.bodies.insert(u"pong"_s, u"pong(%INCLUDE:PING%)"_s);
    fakes.bodies.insert(u"open"_s, u"[%INCLUDE:leaf]"_s);
    for (int i = 0; i < 40; ++i)
        fakes.bodies.insert(u"d%1"_s.arg(i), u"d%1(%INCLUDE:d%2%)"_s.arg(i).arg(i + 1));
    QCOMPARE(fakes.expand(text), expected);
    QCOMPARE(fakes.prompts, prompts);
}

void TestExpandTokens::overlapsAndCompletions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("asked"); // prompts and lookups, in order
    // The first marker in any case is taken once any marker is in capitals; its closer is
    // the next marker's start, which the replacement takes with it.
    QTest::newRow("lower field first") << u"^^input:A||^^INPUT:B||x^^"_s << u"aINPUT:B||x^^"_s << QStringList{u"A|"_s};
    QTest::newRow("lower include first") << u"%include:one%INCLUDE:two%"_s << u"1INCLUDE:two%"_s
                                         << QStringList{u"one"_s};
    // An answer or body completes a token with the text after it.
    QTest::newRow("answer opens a field") << u"^^INPUT:Open||^^x^^"_s << u"q"_s << QStringList{u"Open|"_s, u"Q|x"_s};
    QTest::newRow("body opens an include") << u"%INCLUDE:open%one%!"_s << u"(1!"_s << QStringList{u"open"_s, u"one"_s};
}

void TestExpandTokens::overlapsAndCompletions()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QStringList, asked);
    Fakes fakes;
    fakes.answerFor = [](int, const QString& prompt, const QString&) {
        return prompt == u"Open"_s ? u"^^INPUT:Q||"_s : prompt.toLower();
    };
    fakes.bodies.insert(u"one"_s, u"1"_s);
    fakes.bodies.insert(u"open"_s, u"(%INCLUDE:"_s);
    QCOMPARE(fakes.expand(text), expected);
    QCOMPARE(fakes.prompts + fakes.lookups, asked);
}

void TestExpandTokens::fanOutIsCapped_data()
{
    QTest::addColumn<int>("levels");
    QTest::addColumn<int>("copies");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("note");
    // Each level includes the next ten times: a full expansion would hold 10^20 leaves.
    QTest::newRow("bodies") << 20 << 10 << u"leaf"_s << u"Included text too long at hotword \"f"_s;
    // Short bodies that end in notes: 2^17 notes, eleven million characters, unless notes count.
    QTest::newRow("notes") << 17 << 2 << u"%INCLUDE:f0%"_s << u"Circular include of hotword \"f0\""_s;
}

void TestExpandTokens::fanOutIsCapped()
{
    QFETCH(int, levels);
    QFETCH(int, copies);
    QFETCH(QString, last);
    QFETCH(QString, note);
    Fakes fakes;
    for (int i = 0; i < levels; ++i)
        fakes.bodies.insert(u"f%1"_s.arg(i), u"%INCLUDE:f%1% "_s.arg(i + 1).repeated(copies));
    fakes.bodies.insert(u"f%1"_s.arg(levels), last);
    const QString text = u"%INCLUDE:f0%"_s;
    const QString result = fakes.expand(text);
    QVERIFY2(result.size() <= text.size() + MaxIncludedLength, qPrintable(QString::number(result.size())));
    QVERIFY2(result.contains(note), qPrintable(result.left(300)));
    QVERIFY(!result.contains(u"leaf"_s));
    QVERIFY(fakes.lookups.size() <= levels + 1);
}

void TestExpandTokens::agreesWithTheLiteralSteps()
{
    // Random texts of tokens, pieces of tokens and words, compared with the steps done
    // literally: the same result, the same prompts and the same lookups, in the same order.
    // Markers in mixed case overlap closers, and answers and bodies complete tokens with the
    // text after them.
    const QStringList markers{u"^^INPUT:"_s, u"^^INPUT:"_s, u"^^input:"_s, u"^^Input:"_s};
    const QStringList prompts{u"Name"_s, u"name"_s, u"Age"_s, QString()};
    const QStringList values{QString(), u"Bob"_s, u"red||blue"_s};
    const QStringList includes{u"%INCLUDE:"_s, u"%INCLUDE:"_s, u"%include:"_s, u"%Include:"_s};
    const QStringList hotwords{u"a"_s, u"A"_s, u"c"_s, u"multi"_s, u"nosuch"_s, u"open"_s, u"half"_s, QString()};
    const QStringList words{u"x"_s,  u" "_s,      u"\r\n"_s,       u"é"_s,          u"||"_s,    u"^^"_s,
                            u"^"_s,  u"%"_s,      u"^^INP"_s,      u"UT:"_s,        u"%INCL"_s, u"UDE:"_s,
                            u"c%"_s, u"%DATE%"_s, u"%datetime%"_s, u"%clipboard%"_s};

    QRandomGenerator random(20240307);
    const auto pick = [&random](const QStringList& list) { return list.at(random.bounded(int(list.size()))); };
    const auto randomText = [&](int items) {
        QString text;
        for (int i = random.bounded(items); i >= 0; --i) {
            switch (random.bounded(5)) {
            case 0: text += pick(markers) + pick(prompts) + u"||"_s + pick(values) + u"^^"_s; break;
            case 1: text += pick(includes) + pick(hotwords) + u'%'; break;
            case 2: text += pick(random.bounded(2) ? markers : includes); break;
            default: text += pick(words); break;
            }
        }
        return text;
    };

    const auto setUp = [](Fakes& fakes, quint32 seed, const std::optional<QString>& clipboard) {
        QRandomGenerator answers(seed);
        fakes.clipboard = clipboard;
        fakes.bodies.insert(u"a"_s, u"A[%INCLUDE:c% ^^INPUT:Name||^^ %DATE%]"_s);
        fakes.bodies.insert(u"c"_s, u"C"_s);
        fakes.bodies.insert(u"multi"_s, u"1"_s);
        fakes.bodies.insert(u"multi"_s, u"2"_s);
        fakes.bodies.insert(u"open"_s, u"(%INCLUDE:c"_s);
        fakes.bodies.insert(u"half"_s, u"%INCL"_s);
        const QStringList completing{u"^^INPUT:Age||"_s, u"^^INP"_s, u"^"_s, u"||"_s, u"%INCLUDE:"_s, u"%INCLUDE:a"_s};
        fakes.answerFor
            = [answers, completing](int call, const QString& prompt, const QString& value) mutable -> QString {
            const int kind = answers.bounded(6);
            if (call < 8 && kind == 0)
                return u"<^^INPUT:Age||^^ %INCLUDE:a%>"_s;
            if (call < 8 && kind == 1)
                return completing.at(answers.bounded(int(completing.size())));
            if (kind == 2)
                return QString();
            return prompt + u'=' + value + u'#' + QString::number(call);
        };
    };

    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(12);
        const quint32 seed = random.generate();
        const std::optional<QString> clipboard
            = random.bounded(2) ? std::optional(u"clip %DATE% %INCLUDE:a% ^^INPUT:Name||^^"_s) : std::nullopt;
        Fakes fast;
        setUp(fast, seed, clipboard);
        Fakes literal;
        setUp(literal, seed, clipboard);

        const QString result = fast.expand(text);
        const std::optional<QString> expected
            = LiteralExpansion(text, clipboard, u"07.03.2024"_s, u"07.03.2024 13:04:05"_s, literal, literal, 200);
        QVERIFY2(expected.has_value(), qPrintable(text));
        if (result != *expected || fast.prompts != literal.prompts || fast.lookups != literal.lookups) {
            qWarning() << "text" << text << "\nfast" << result << fast.prompts << fast.lookups << "\nliteral"
                       << *expected << literal.prompts << literal.lookups;
            QFAIL("expansions differ");
        }
    }
}

QTEST_APPLESS_MAIN(TestExpandTokens)
#include "tst_expandtokens.moc"
