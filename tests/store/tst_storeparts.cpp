#include "store/dataset.h"
#include "store/savedquery.h"
#include "store/schema.h"
#include "store/sqldialect.h"
#include "util/errors.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestStoreParts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholdersOnlyOutsideQuotesAndComments();
    void undeclaredParameterIsRefused_data();
    void undeclaredParameterIsRefused();
    void plainStatementsPerEngine();
    void scriptsSplitIntoWholeStatements();
    void dataSetReadsLeniently();
};

void TestStoreParts::placeholdersOnlyOutsideQuotesAndComments()
{
    const QStringList names = {u"[newparentid:]"_s, u"[id:]"_s};
    const PlaceholderText text
        = ToPlaceholders(u"update FAQ set GroupID = [NewParentID:], Note = 'it''s [id:]' -- [id:]\n"
                         "where ID = [id:] /* [id:] */ and \"[id:]\" = [Text] or x = [ID:]"_s,
                         names, u"aspUpdateParentID"_s);
    QCOMPARE(text.sql,
             u"update FAQ set GroupID = ?, Note = 'it''s [id:]' -- [id:]\n"
             "where ID = ? /* [id:] */ and \"[id:]\" = [Text] or x = ?"_s);
    QCOMPARE(text.placeholders, (QList<int>{0, 1, 1}));

    // The bodies shipped for SQLite take every parameter they declare.
    const PlaceholderText fullText = ToPlaceholders(
        u"select 1 where length([search term:]) >= 3 and x match '\"' || replace([search term:], '\"', "
        "'\"\"') || '\"'"_s,
        {u"[search term:]"_s}, u"aspFullText"_s);
    QCOMPARE(fullText.placeholders, (QList<int>{0, 0}));
    QVERIFY(!fullText.sql.contains(u'['));
}

void TestStoreParts::undeclaredParameterIsRefused_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("error");

    const QStringList hotword{u"[Hotword:]"_s};
    const QStringList move{u"[newparentid:]"_s, u"[id:]"_s};
    QTest::newRow("other name") << u"select * from FAQ where Hotword = [word:]"_s << hotword << u"aspTextByHotword"_s
                                << u"Hotword:"_s;
    QTest::newRow("no parameter") << u"select * from FAQ"_s << hotword << u"aspTextByHotword"_s << u"Hotword:"_s;
    QTest::newRow("only in a comment") << u"select * from FAQ -- where Hotword = [Hotword:]"_s << hotword
                                       << u"aspTextByHotword"_s << u"Hotword:"_s;
    QTest::newRow("only quoted") << u"select * from FAQ where Hotword = '[Hotword:]'"_s << hotword
                                 << u"aspTextByHotword"_s << u"Hotword:"_s;
    QTest::newRow("one of two") << u"update FAQ set GroupID = [newparentid:]"_s << move << u"aspUpdateParentID"_s
                                << u"id:"_s;
    QTest::newRow("both") << u"update FAQ set GroupID = 0"_s << move << u"aspUpdateParentID"_s
                          << u"id: or newparentid:"_s;
    QTest::newRow("bare question mark")
        << u"update FAQ set GroupID = ? where ID = [id:] and GroupID <> [newparentid:]"_s << move
        << u"aspUpdateParentID"_s << QString();
    QTest::newRow("an extra one") << u"update FAQ set GroupID = [newparentid:] where ID = [id:] or ID = [x:]"_s << move
                                  << u"aspUpdateParentID"_s << u"x:"_s;
}

void TestStoreParts::undeclaredParameterIsRefused()
{
    QFETCH(QString, body);
    QFETCH(QStringList, names);
    QFETCH(QString, component);
    QFETCH(QString, error);
    try {
        ToPlaceholders(body, names, component);
        QFAIL("no error");
    } catch (const Error& e) {
        const QString expected = error.isEmpty()
            ? QString(u"The saved query "_s + component
                      + u" holds a \"?\" outside quotes, so its parameters can not be bound safely."_s)
            : QString(u"Could not find parameter called "_s + error + u" in "_s + component);
        QCOMPARE(e.text(), expected);
    }
}

void TestStoreParts::plainStatementsPerEngine()
{
    const QString usage = u"SELECT shortname, count(*) AS \"Count\"\r\nFROM faq, faqaction\r\n"
                          "WHERE faq.id=faqaction.faqid\r\nAND Action=\"Used\"\r\n"
                          "GROUP BY shortname \r\nORDER BY \"Count\" DESC"_s;
    for (const auto engine : {SqlDialect::Engine::SQLite, SqlDialect::Engine::PostgreSQL}) {
        const SqlDialect dialect(engine);
        QCOMPARE(dialect.translate(u"select top 1 * from FAQ"_s), u"select * from FAQ limit 1"_s);
        QCOMPARE(dialect.translate(u"alter table FAQ add Notes Memo"_s), u"alter table FAQ add Notes text"_s);
        QCOMPARE(dialect.translate(u"select Notes from FAQ where ID = 12"_s), u"select Notes from FAQ where ID = 12"_s);
        QCOMPARE(dialect.translate(usage), QString(usage).replace(u"Action=\"Used\""_s, u"Action= 'Used'"_s));
        QCOMPARE(dialect.translate(u"select 1 where a = \"it's\""_s), u"select 1 where a = 'it''s'"_s);
    }
    const SqlDialect other(SqlDialect::Engine::Other);
    QCOMPARE(other.translate(u"select top 1 * from FAQ"_s), u"select top 1 * from FAQ"_s);
    QCOMPARE(other.insertReturningKey(u"FAQ"_s, {u"Text"_s}, u"ID"_s), QString());

    QCOMPARE(SqlDialect(SqlDialect::Engine::PostgreSQL, true)
                 .insertReturningKey(u"FAQ"_s, {u"Text"_s, u"GroupID"_s}, u"ID"_s),
             u"insert into FAQ (Text, GroupID) values (?, ?) returning ID"_s);
    QCOMPARE(SqlDialect(SqlDialect::Engine::SQLite).insertReturningKey(u"FAQ"_s, {}, u"ID"_s),
             u"insert into FAQ default values returning ID"_s);
    QCOMPARE(SqlDialect(SqlDialect::Engine::SQLite, true).insertReturningKey(u"FAQ"_s, {u"Text"_s}, u"ID"_s),
             QString());
    QCOMPARE(SqlDialect(SqlDialect::Engine::SQLite, true).lastKeyQuery(), u"select last_insert_rowid()"_s);
}

void TestStoreParts::scriptsSplitIntoWholeStatements()
{
    const QStringList statements = SqlScriptStatements(
        u"-- a comment; with a semicolon\ncreate table t (a text);\n\n"
        "create trigger x after insert on t begin\n  insert into t values ('a;b');\n  delete from t;\nend;\n"
        "insert into t values ('line\n-- not a comment\nend;');\n-- trailing comment\n"_s);
    QCOMPARE(statements.size(), 3);
    QCOMPARE(statements.at(0), u"create table t (a text);"_s);
    QVERIFY(statements.at(1).startsWith(u"create trigger"_s) && statements.at(1).endsWith(u"end;"_s));
    QCOMPARE(statements.at(2), u"insert into t values ('line\n-- not a comment\nend;');"_s);

    QVERIFY_THROWS_EXCEPTION(Error, SqlScriptStatements(u"create table t (a text)"_s));

    const QString schema = EmbeddedSchemaScript();
    const QStringList schemaStatements = SqlScriptStatements(schema);
    QCOMPARE(schemaStatements.filter(u"INSERT INTO SavedQueries"_s).size(), 8);
    QVERIFY(!SqlScriptStatements(ExampleMessagesScript()).isEmpty());
}

void TestStoreParts::dataSetReadsLeniently()
{
    const DataSet rows({u"id"_s, u"ShortName"_s, u"PromptToUse"_s},
                       {{1, u"One"_s, u"1"_s},
                        {u"2"_s, QVariant(), u"f"_s},
                        {QVariant(), u"x"_s, true},
                        {4, u"y"_s, u"True"_s},
                        {u"abc"_s, u"z"_s, 0}});
    QCOMPARE(rows.recordCount(), 5);
    QVERIFY(rows.hasField(u"ID"_s) && rows.hasField(u"shortname"_s) && !rows.hasField(u"Text"_s));
    QCOMPARE(rows.integer(0, u"ID"_s), 1);
    QCOMPARE(rows.integer(1, u"Id"_s), 2);
    QCOMPARE(rows.integer(2, u"id"_s), 0);
    QCOMPARE(rows.text(1, u"SHORTNAME"_s), QString());
    QVERIFY(!rows.value(1, u"shortname"_s).isNull());
    QCOMPARE(QList<bool>({rows.boolean(0, u"prompttouse"_s), rows.boolean(1, u"PromptToUse"_s),
                          rows.boolean(2, u"PromptToUse"_s), rows.boolean(3, u"PromptToUse"_s),
                          rows.boolean(4, u"PromptToUse"_s)}),
             QList<bool>({true, false, true, true, false}));
    QVERIFY_THROWS_EXCEPTION(Error, rows.integer(4, u"id"_s));
    QVERIFY_THROWS_EXCEPTION(Error, rows.text(5, u"id"_s));
    QVERIFY_THROWS_EXCEPTION(Error, rows.text(-1, u"id"_s));
    QVERIFY_THROWS_EXCEPTION(Error, rows.text(0, u"Hotword"_s));
    QVERIFY(DataSet().isEmpty());
}

QTEST_GUILESS_MAIN(TestStoreParts)
#include "tst_storeparts.moc"
