// Reading and writing collections of Messages, without a database.

#include "exchange/exchangeformats.h"

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
    void espansoMatches();
    void beeftextCombos();
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
    QTest::newRow("csv not utf-8") << u"a.csv"_s << QByteArray("ShortName,Hotword,Text\r\na,\xE9t\xE9,b\r\n")
                                   << u"The file is not UTF-8 text."_s;
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

void TestExchangeFormats::espansoMatches()
{
    const MessageCollection read = ReadCollectionFile(QB_EXCHANGE_DATA "/replies.yml"_L1);
    Compare(read,
            {{0, u"replies.yml"_s, u"replies"_s, u"Matches imported from replies.yml."_s},
             {1, u"Thank you note"_s, u":thanks"_s, u"Thank you for your mail of %DATE%."_s},
             {1, u":paste"_s, u":paste"_s, u"You wrote: %CLIPBOARD%"_s},
             {1, u":clip"_s, u":clip"_s, u"You wrote: %CLIPBOARD%"_s},
             {1, u":stamp"_s, u":stamp"_s, u"Sent %DATETIME% by {{sender}}"_s},
             {1, u":clock"_s, u":clock"_s, u"{{time}}"_s},
             {1, u":greet"_s, u":greet"_s, u"Dear ^^INPUT:name||^^,"_s}});
    QCOMPARE(read.remarks,
             (QStringList{u"Trigger \":stamp\": {{sender}} kept as plain text."_s,
                          u"Trigger \":clock\": {{time}} kept as plain text."_s,
                          u"line 39: a match without a plain trigger (regex or event) is left out."_s,
                          u"line 42: a match without a text replacement (an image) is left out."_s}));
}

void TestExchangeFormats::beeftextCombos()
{
    const MessageCollection read = ReadCollectionFile(QB_EXCHANGE_DATA "/combos.json"_L1);
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
}

QTEST_GUILESS_MAIN(TestExchangeFormats)
#include "tst_exchangeformats.moc"
