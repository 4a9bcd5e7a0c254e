// Reading and writing collections of Messages, without a database.

#include "exchange/exchangeformats.h"
#include "exchange/importlimits.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MessageCollection)

namespace {

struct Expected {
    int parentId;
    QString shortName;
    QString hotword;
    QString text;
};

// A desktop whose short date is written "31.12.1999" and long time "23:01:30".
const TokenDates germanDates{[](QDate date) { return date.toString(u"dd.MM.yyyy"_s); },
                             [](QTime time) { return time.toString(u"HH:mm:ss"_s); }};

QString ErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.text();
    }
    return {};
}

void Compare(const MessageCollection& read, const QList<Expected>& expected)
{
    QCOMPARE(read.messages.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const CollectedMessage& m = read.messages.at(i);
        QCOMPARE(m.id, int(i) + 1);
        QCOMPARE(m.parentId, expected.at(i).parentId);
        QCOMPARE(m.shortName, expected.at(i).shortName);
        QCOMPARE(m.hotword, expected.at(i).hotword);
        QCOMPARE(m.text, expected.at(i).text);
    }
}

} // namespace

class TestExchangeFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void csvAsSpreadsheetsWriteIt();
    void brokenFiles_data();
    void brokenFiles();
    void tooLargeFile();
    void escapedBackslashIsNoNul();
    void espansoMatches();
    void beeftextCombos();
    void dateFormats_data();
    void dateFormats();
};

void TestExchangeFormats::roundTrip_data()
{
    QTest::addColumn<bool>("csv");
    QTest::newRow("csv") << true;
    QTest::newRow("json") << false;
}

void TestExchangeFormats::roundTrip()
{
    QFETCH(bool, csv);
    MessageCollection collection;
    collection.messages = {
        {1,
         0,
         u"Group, \"one\""_s,
         u"g1"_s,
         u"Line one\r\nline two\nthree"_s,
         u"Notes \"x\""_s,
         {u"a,b"_s, u"Ünïcode €"_s},
         {{u"/tmp/x|y.pdf"_s, true}, {u"C:\\docs\\a b.doc"_s, false}},
         {}},
        {2, 1, u" leading and trailing "_s, u"two"_s, u"\"quoted\""_s, {}, {}, {}, {}},
        {3, 2, u"Deep"_s, u"three"_s, u"x,,y"_s, u"\n"_s, {}, {}, {}},
    };
    const QByteArray data = csv ? WriteCsv(collection) : WriteJson(collection);
    const MessageCollection read = csv ? ReadCsv(data) : ReadJson(data);
    QCOMPARE(read.messages, collection.messages);
    QCOMPARE(read.messages.at(2).origin, csv ? u"line 8"_s : u"messages[2]"_s);
}

void TestExchangeFormats::csvAsSpreadsheetsWriteIt()
{
    // No byte-order mark, LF line ends, columns in another order and case, no IDs.
    const QByteArray data = "hotword,TEXT,shortname,keywords\n"
                            "hi,Hello,Greeting,\"one\ntwo\"\n"
                            "\n"
                            "bye,Goodbye,Farewell,\n";
    const MessageCollection read = ReadCsv(data);
    Compare(read, {{0, u"Greeting"_s, u"hi"_s, u"Hello"_s}, {0, u"Farewell"_s, u"bye"_s, u"Goodbye"_s}});
    QCOMPARE(read.messages.at(0).keywords, (QStringList{u"one"_s, u"two"_s}));
    QCOMPARE(read.messages.at(1).origin, u"line 5"_s);
}

void TestExchangeFormats::brokenFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");

    const QByteArray header = "ID,ParentID,ShortName,Hotword,Text\r\n";
    QTest::newRow("csv unclosed quote") << u"a.csv"_s << header + "1,0,a,a,\"open\r\n2,0,b,b,c\r\n"
                                        << u"Line 2: a quoted field is not closed."_s;
    QTest::newRow("csv stray quote after a multi-line field")
        << u"a.csv"_s << header + "1,0,a,a,\"x\r\ny\"\r\n2,0,b,b\"c,d\r\n3,0,c,c,c\r\n"
        << u"Line 4: a quote inside a field that does not start with one."_s;
    QTest::newRow("csv text after closing quote") << u"a.csv"_s << header + "1,0,a,a,\"x\"y\r\n"
                                                  << u"Line 2: text follows the closing quote of a field."_s;
    QTest::newRow("csv field count") << u"a.csv"_s << header + "1,0,a,a,x\r\n2,0,b,b\r\n3,0,c,c,c\r\n"
                                     << u"Line 3: 4 fields where the first line names 5 columns."_s;
    QTest::newRow("csv bad id") << u"a.csv"_s << header + "1,0,a,a,x\r\nx2,0,b,b,b\r\n"
                                << u"Line 3: ID \"x2\" is not a whole number."_s;
    QTest::newRow("csv unknown parent") << u"a.csv"_s << header + "1,0,a,a,x\r\n2,7,b,b,b\r\n"
                                        << u"Line 3: the parent ID 7 is not in the file."_s;
    QTest::newRow("csv loop") << u"a.csv"_s << header + "1,0,a,a,x\r\n2,3,b,b,b\r\n3,2,c,c,c\r\n"
                              << u"Line 3: the Message is its own parent through a loop of parent IDs."_s;
    QTest::newRow("csv repeated id") << u"a.csv"_s << header + "1,0,a,a,x\r\n1,0,b,b,b\r\n"
                                     << u"Line 3: the ID 1 is used twice."_s;
    QTest::newRow("csv missing column") << u"a.csv"_s << QByteArray("Hotword,Text\r\na,b\r\n")
                                        << u"Line 1: the column ShortName is missing."_s;
    QTest::newRow("csv attachment flag") << u"a.csv"_s
                                         << QByteArray("ShortName,Hotword,Text,Attachments\r\na,a,a,maybe|/x\r\n")
                                         << u"Line 2: the attachment \"maybe|/x\" must start with True| or False|."_s;
    const QString notUtf8 = u"the file is not UTF-8 text (byte 0xE9); save it as UTF-8 and import it again."_s;
    QTest::newRow("csv not utf-8") << u"a.csv"_s << QByteArray("ShortName,Hotword,Text\r\na,\xE9t\xE9,b\r\n")
                                   << u"Line 2, byte offset 26: "_s + notUtf8;
    QTest::newRow("yaml not utf-8") << u"a.yml"_s
                                    << QByteArray("matches:\n  - trigger: \"\xE9t\xE9\"\n    replace: x\n")
                                    << u"Line 2, byte offset 23: "_s + notUtf8;
    QTest::newRow("json not utf-8") << u"a.json"_s << QByteArray("{\n\"format\": \"x\xC3\"}")
                                    << u"Line 2, byte offset 14: the file is not UTF-8 text (byte 0xC3); save it as "
                                       "UTF-8 and import it again."_s;
    QTest::newRow("utf-8 overlong form") << u"a.csv"_s << QByteArray("ShortName,Hotword,Text\r\na,\xC0\xAF,b\r\n")
                                         << u"Line 2, byte offset 26: the file is not UTF-8 text (byte 0xC0); save it "
                                            "as UTF-8 and import it again."_s;
    QTest::newRow("utf-8 surrogate") << u"a.csv"_s << QByteArray("ShortName,Hotword,Text\r\na,\xED\xA0\x80,b\r\n")
                                     << u"Line 2, byte offset 26: the file is not UTF-8 text (byte 0xED); save it as "
                                        "UTF-8 and import it again."_s;
    const QString nul = u"a NUL character, which no Message may hold."_s;
    QTest::newRow("csv nul") << u"a.csv"_s << header + QByteArray("1,0,a,a,x\0y\r\n", 13)
                             << u"Line 2, byte offset 45: "_s + nul;
    QTest::newRow("yaml nul byte") << u"a.yml"_s << QByteArray("matches:\n  - trigger: \":a\0\"\n", 27)
                                   << u"Line 2, byte offset 25: "_s + nul;
    QTest::newRow("yaml nul escape") << u"a.yml"_s
                                     << QByteArray("matches:\n  - trigger: \":a\"\n    replace: \"x\\0y\"\n")
                                     << u"Line 3: "_s + nul;
    QTest::newRow("json nul escape") << u"a.json"_s
                                     << QByteArray("{\"format\": \"Tolvane Quillbay Messages\", \"version\": 1, "
                                                   "\"messages\": [{\"id\": 1, \"hotword\": \"a\\u0000b\"}]}")
                                     << u"Line 1, byte offset 90: the escape \\u0000 stands for "_s + nul;
    QTest::newRow("beeftext nul escape") << u"a.json"_s << QByteArray("{\"combos\": [\n{\"keyword\": \"a\\u0000\"}]}")
                                         << u"Line 2, byte offset 27: the escape \\u0000 stands for "_s + nul;
    QTest::newRow("csv field too long")
        << u"a.csv"_s << QByteArray("ShortName,Hotword,Text\r\na,b,") + QByteArray(MaxFieldLength + 1, 'x') + "\r\n"
        << u"Line 2: the text field has 8,388,609 characters, more than the 8 Mi characters (8,388,608) a field may hold."_s;
    QTest::newRow("json field too long")
        << u"a.json"_s
        << "{\"format\": \"Tolvane Quillbay Messages\", \"version\": 1, \"messages\": [{\"id\": 1, \"notes\": \""
            + QByteArray(MaxFieldLength + 1, 'n') + "\"}]}"
        << u"messages[0]: the notes field has 8,388,609 characters, more than the 8 Mi characters (8,388,608) a field may hold."_s;
    // Ten triggers share one text of 7 Mi characters: 70 Mi characters to import.
    QTest::newRow("all fields too long")
        << u"a.yml"_s
        << "matches:\n  - triggers: [a, b, c, d, e, f, g, h, i, j]\n    replace: " + QByteArray(7 * 1024 * 1024, 'x')
            + "\n"
        << u"Line 2: the Messages of the file hold more than 64 Mi characters (67,108,864), the most one import takes."_s;
    QTest::newRow("yaml deep nesting") << u"a.yml"_s << "matches: " + QByteArray(200, '[') + QByteArray(200, ']')
                                       << u"Line 1: lists and maps are nested more than 64 levels deep."_s;
    QTest::newRow("yaml deep block nesting") << u"a.yml"_s << []() -> QByteArray {
        QByteArray data = "matches:\n";
        for (int depth = 1; depth < 600; ++depth)
            data += QByteArray(2 * depth, ' ') + "-\n";
        return data;
    }() << u"Line 65: lists and maps are nested more than 64 levels deep."_s;
    QTest::newRow("json deep nesting") << u"a.json"_s << QByteArray(2000, '[') + QByteArray(2000, ']')
                                       << u"Line 1, column 1026: too deeply nested document."_s;
    // Ten lists of ten aliases each: 10^9 texts once written out, from 600 bytes.
    QTest::newRow("yaml alias bomb") << u"a.yml"_s << []() -> QByteArray {
        QByteArray data = "a0: &a0 [\"lol\", \"lol\", \"lol\", \"lol\", \"lol\", \"lol\", \"lol\", \"lol\", "
                          "\"lol\", \"lol\"]\n";
        for (int level = 1; level < 10; ++level) {
            const QByteArray previous = "*a" + QByteArray::number(level - 1);
            data += "a" + QByteArray::number(level) + ": &a" + QByteArray::number(level) + " ["
                + QByteArrayList(10, previous).join(", ") + "]\n";
        }
        return data + "matches:\n  - trigger: \":x\"\n    replace: *a9\n";
    }() << u"Line 7: with its aliases written out the file would be larger than 64 MiB (67,108,864 bytes), the most "
           "an import reads."_s;
    QTest::newRow("yaml alias inside itself")
        << u"a.yml"_s << QByteArray("matches: &m\n  - trigger: \":a\"\n    replace: *m\n")
        << u"Line 3: an alias stands for the list or map that holds it, which never ends."_s;
    // 80 KB whose echo variable, filled in 9,000 times, would make one text of 9 million characters.
    QTest::newRow("yaml variable bomb") << u"a.yml"_s << []() -> QByteArray {
        return "matches:\n  - trigger: \":x\"\n    vars:\n      - name: big\n        type: echo\n"
               "        params:\n          echo: \""
            + QByteArray(1000, 'x') + "\"\n    replace: \"" + QByteArrayList(9000, "{{big}}").join() + "\"\n";
    }() << u"Line 2 (Trigger \":x\"): the text grows past the 8 Mi characters (8,388,608) a field may hold once its "
           "variables are filled in."_s;
    QTest::newRow("json syntax") << u"a.json"_s << QByteArray("{\n  \"format\": \"x\",\n  oops\n}")
                                 << u"Line 3, column 4: unterminated object."_s;
    const QByteArray head = "{\"format\": \"Tolvane Quillbay Messages\", \"version\": 1, \"messages\": [";
    QTest::newRow("json wrong type") << u"a.json"_s
                                     << head + "{\"id\": 1, \"hotword\": \"a\"}, {\"id\": 2, \"hotword\": 5}]}"
                                     << u"messages[1].hotword: expected a text."_s;
    QTest::newRow("json fraction id") << u"a.json"_s << head + "{\"id\": 1.5}]}"
                                      << u"messages[0].id: expected a whole number."_s;
    QTest::newRow("json keyword") << u"a.json"_s << head + "{\"id\": 1, \"keywords\": [\"a\", 2]}]}"
                                  << u"messages[0].keywords[1]: expected a text."_s;
    QTest::newRow("json newer version") << u"a.json"_s
                                        << QByteArray("{\"format\": \"Tolvane Quillbay Messages\", \"version\": 2}")
                                        << u"version: this program reads version 1, the file has version 2."_s;
    QTest::newRow("json unknown") << u"a.json"_s << QByteArray("{\"things\": []}")
                                  << u"format: expected \"Tolvane Quillbay Messages\"."_s;
    QTest::newRow("beeftext combo") << u"a.json"_s << QByteArray("{\"combos\": [{\"keyword\": \"a\"}, 7]}")
                                    << u"combos[1]: expected an object."_s;
    QTest::newRow("espanso yaml") << u"a.yml"_s << QByteArray("matches:\n  - trigger: \":a\"\n    replace: [unclosed\n")
                                  << u"Line 4: end of sequence flow not found."_s;
    QTest::newRow("espanso shape") << u"a.yml"_s
                                   << QByteArray(
                                          "matches:\n  - trigger: \":a\"\n    replace: \"x\"\n  - trigger: [1]\n")
                                   << u"Line 4: trigger must be a text."_s;
    QTest::newRow("unknown extension") << u"a.txt"_s << QByteArray("x") << u"neither"_s;
}

void TestExchangeFormats::brokenFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QFile file(dir.filePath(fileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    const QString text = ErrorText([&] { ReadCollectionFile(file.fileName()); });
    QVERIFY2(error == u"neither"_s ? text.contains(error) : text == error, qPrintable(text));
}

void TestExchangeFormats::tooLargeFile()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(u"big.csv"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(MaxImportFileBytes + 1));
    file.close();
    QCOMPARE(ErrorText([&] { ReadCollectionFile(file.fileName()); }),
             u"The file is larger than 64 MiB (67,108,864 bytes), the most an import reads."_s);
}

void TestExchangeFormats::escapedBackslashIsNoNul()
{
    // A backslash written as "\\" before "u0000" is text, not the escape of a NUL.
    const MessageCollection read
        = ReadJson("{\"format\": \"Tolvane Quillbay Messages\", \"version\": 1, \"messages\": "
                   "[{\"id\": 1, \"shortName\": \"s\", \"hotword\": \"h\", \"text\": \"a\\\\u0000\"}]}");
    QCOMPARE(read.messages.at(0).text, u"a\\u0000"_s);
}

void TestExchangeFormats::espansoMatches()
{
    const MessageCollection read = ReadCollectionFile(QB_EXCHANGE_DATA "/replies.yml"_L1, germanDates);
    Compare(read,
            {{0, u"replies.yml"_s, u"replies"_s, u"Matches imported from replies.yml."_s},
             {1, u"Thank you note"_s, u":thanks"_s, u"Thank you for your mail of %DATE%."_s},
             {1, u":paste"_s, u":paste"_s, u"You wrote: %CLIPBOARD%"_s},
             {1, u":clip"_s, u":clip"_s, u"You wrote: %CLIPBOARD%"_s},
             {1, u":stamp"_s, u":stamp"_s, u"Sent {{now}} by {{sender}}"_s},
             {1, u":clock"_s, u":clock"_s, u"{{time}}"_s},
             {1, u":greet"_s, u":greet"_s, u"Dear ^^INPUT:name||^^,"_s}});
    QCOMPARE(read.remarks,
             (QStringList{u"Trigger \":stamp\": {{now}} kept as plain text: its date format \"%Y-%m-%d %H:%M\" writes "
                          "the date otherwise than %DATE% and %DATETIME%."_s,
                          u"Trigger \":stamp\": {{sender}} kept as plain text."_s,
                          u"Trigger \":clock\": {{time}} kept as plain text: its date format \"%H:%M\" writes the date "
                          "otherwise than %DATE% and %DATETIME%."_s,
                          u"line 39: a match without a plain trigger (regex or event) is left out."_s,
                          u"line 42: a match without a text replacement (an image) is left out."_s}));
    QCOMPARE(read.converted,
             QStringList{u"Trigger \":thanks\": {{today}} (date format \"%d.%m.%Y\") became %DATE%."_s});
}

void TestExchangeFormats::beeftextCombos()
{
    const MessageCollection read = ReadCollectionFile(QB_EXCHANGE_DATA "/combos.json"_L1, germanDates);
    Compare(read,
            {{0, u"Support"_s, u"Support"_s, u"Support answers"_s},
             {0, u"Sales"_s, u"Sales"_s, u"Sales"_s},
             {1, u"Reset password"_s, u"pwreset"_s,
              u"Hello ^^INPUT:Customer name||^^,\nplease follow the link. #{cursor}\n%INCLUDE:sig%"_s},
             {2, u"quote"_s, u"quote"_s, u"Offer of %DATE%, valid until %DATE%, sent %DATETIME%: %CLIPBOARD%"_s},
             {0, u"Signature"_s, u"sig"_s, u"Kind regards #{time}"_s}});
    QCOMPARE(read.messages.at(2).notes, u"Most asked"_s);
    QCOMPARE(read.remarks,
             (QStringList{u"Combo \"pwreset\": #{cursor} kept as plain text."_s,
                          u"Combo \"sig\": #{time} kept as plain text."_s}));
    QCOMPARE(read.converted, QStringList{u"Combo \"quote\": #{dateTime:dd.MM.yyyy} became %DATE%."_s});
}

void TestExchangeFormats::dateFormats_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("token"); // empty: kept as written

    const QList<std::pair<const char*, QString>> chrono{
        {"%d.%m.%Y", u"%DATE%"_s},
        {"%d.%m.%Y %H:%M:%S", u"%DATETIME%"_s},
        {"%d.%m.%Y %T", u"%DATETIME%"_s},
        {"%Y", {}},
        {"%x", {}},
        {"%d.%m.%y", {}},
        {"%-d.%-m.%Y", {}},
        {"%e.%m.%Y", {}},
        {"%m.%d.%Y", {}},
        {"%d.%m.%Y %H:%M", {}},
        {"%d.%m.%Y %I:%M:%S", {}},
        {"%d.%m.%Y %Q", {}},
    };
    for (const auto& [format, token] : chrono)
        QTest::addRow("espanso %s", format) << u"a.yml"_s << QString::fromLatin1(format) << token;
    const QList<std::pair<const char*, QString>> qt{
        {"dd.MM.yyyy", u"%DATE%"_s},
        {"dd.MM.yyyy HH:mm:ss", u"%DATETIME%"_s},
        {"yyyy", {}},
        {"d.M.yyyy", {}},
        {"dd.MM.yy", {}},
        {"dd.MM.yyyy hh:mm:ss ap", {}},
    };
    for (const auto& [format, token] : qt)
        QTest::addRow("beeftext %s", format) << u"a.json"_s << QString::fromLatin1(format) << token;
}

void TestExchangeFormats::dateFormats()
{
    QFETCH(QString, fileName);
    QFETCH(QString, format);
    QFETCH(QString, token);
    const bool espanso = fileName.endsWith(u".yml"_s);
    const QString variable = espanso ? u"{{d}}"_s : u"#{dateTime:"_s + format + u'}';
    const QString data = espanso
        ? u"matches:\n  - trigger: \":d\"\n    replace: \"On {{d}}.\"\n    vars:\n"
          "      - name: d\n        type: date\n        params:\n          format: \"%1\"\n"_s.arg(format)
        : u"{\"combos\": [{\"keyword\": \":d\", \"snippet\": \"On %1.\"}]}"_s.arg(variable);
    const MessageCollection read
        = espanso ? ReadEspanso(data.toUtf8(), fileName, germanDates) : ReadBeeftext(data.toUtf8(), germanDates);
    const QString subject = espanso ? u"Trigger \":d\": "_s : u"Combo \":d\": "_s;
    QCOMPARE(read.messages.last().text, u"On %1."_s.arg(token.isEmpty() ? variable : token));
    if (token.isEmpty()) {
        QCOMPARE(read.converted, QStringList());
        QCOMPARE(read.remarks,
                 QStringList{subject + variable + u" kept as plain text: its date format \""_s + format
                             + u"\" writes the date otherwise than %DATE% and %DATETIME%."_s});
    } else {
        QCOMPARE(read.remarks, QStringList());
        QCOMPARE(read.converted.size(), 1);
        QVERIFY2(read.converted.first().startsWith(subject + variable), qPrintable(read.converted.first()));
        QVERIFY(read.converted.first().endsWith(u" became "_s + token + u'.'));
    }
}

QTEST_GUILESS_MAIN(TestExchangeFormats)
#include "tst_exchangeformats.moc"
