// The data module's contract, run on each engine: the embedded SQLite file (no wrapper),
// SQLite through ODBC (with-odbc-sqlite.sh) and PostgreSQL through ODBC (with-postgres.sh).

#include "exchange/exchangeformats.h"
#include "scriptedinteraction.h"
#include "store/dmData.h"
#include "store/messageexchange.h"
#include "store/schema.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/textutils.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString Engine()
{
    const QString engine = qEnvironmentVariable("QB_TEST_ENGINE");
    return engine.isEmpty() ? u"sqlite"_s : engine;
}

QString ErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.text();
    }
    return {};
}

// The text of the error of that type that the action raises; empty when it raises none.
template <typename Raised> QString TextOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Raised& e) {
        return e.text();
    }
    return {};
}

QList<int> Ids(const DataSet& rows)
{
    QList<int> ids;
    for (int i = 0; i < rows.recordCount(); ++i)
        ids << rows.integer(i, u"id"_s);
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

class TestStoreContract : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void engineAndDataSource();
    void hotwordAndKeywordIgnoreCase();
    void fullTextOverEveryField();
    void fullTextLimitAndShortTerms();
    void childrenOrderedAndCounted();
    void parametersByNameOnly();
    void hostileTermsAreSearchedLiterally();
    void textsRoundTripUnchanged();
    void detailTablesFollowTheMessage();
    void saveReturnsTheNewId();
    void duplicateHotwordKeepsTheEdit();
    void pendingEditStaysWithItsRow();
    void cancelAndDelete();
    void detailRowsEditedInPlace();
    void newMessageStoresItsRowsInOneGo();
    void typedCalls();
    void copyHotwords_data();
    void copyHotwords();
    void duplicateCopiesDetailsAndOutlineListsAll();
    void plainStatements();
    void missingNotesColumnIsAdded();
    void reconnectKeepsEverything();
    void administratorChangesAMatchingRule();
    void exportImportRoundTrip_data();
    void exportImportRoundTrip();
    void importIssues_data();
    void importIssues();
    void cancelledImportChangesNothing();

    // Two programs or two users on one database.
    void saveComparesTheChangeStamp_data();
    void saveComparesTheChangeStamp();
    void everyWriteAdvancesTheStamp();
    void editOpensOnTheStoredMessage();
    void refusedSaveReloadOrKeep_data();
    void refusedSaveReloadOrKeep();
    void deletedMessageSavedAsNew_data();
    void deletedMessageSavedAsNew();
    void newMessageUnderADeletedGroup();
    void deleteAndMoveAskTheDatabase_data();
    void deleteAndMoveAskTheDatabase();
    void oldDatabaseGetsChangeStamps();

private:
    std::unique_ptr<TdmFAQData> openModule();
    void run(const QString& sql);
    int addMessage(const QString& shortName, const QString& hotword, const QString& text, int groupId = 0,
                   const QStringList& keywords = {});
    void showMessage(int id);
    // Edits the stored Message through the pending row and saves it; gives SaveFAQ's ID.
    int saveEdited(int id, const std::function<void(TdmFAQData::MessageFields&)>& change);
    // Rows of a statement, written as for the data module's command object.
    DataSet select(const QString& sql);
    void clearTables();
    int count(const QString& table);
    int stamp(int id);
    // Starts editing the Message in the module and types a new text into the pending row.
    void typeText(TdmFAQData& module, int id, const QString& text);

    ScriptedInteraction ui;
    QTemporaryDir dir;
    ConnectionSpec spec;
    std::unique_ptr<TdmFAQData> dm;
};

void TestStoreContract::initTestCase()
{
    QVERIFY(dir.isValid());
    OverrideAppDir(dir.path());
    if (Engine() == u"sqlite"_s) {
        // No data source QuillBay: the embedded file is the default.
        QFile empty(dir.filePath(u"odbc.ini"_s));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        qputenv("ODBCINI", QFile::encodeName(empty.fileName()));
        qputenv("ODBCSYSINI", QFile::encodeName(dir.path()));
        spec.kind = ConnectionSpec::Kind::Sqlite;
        spec.database = dir.filePath(u"contract.db"_s);
        spec.createWithExamples = false;
    } else {
        if (Engine() == u"odbc-sqlite"_s) {
            // The data source's file gets the schema through the embedded path first.
            ConnectionSpec file{ConnectionSpec::Kind::Sqlite, qEnvironmentVariable("QB_TEST_SQLITE_FILE"), false};
            QVERIFY(!file.database.isEmpty());
            TdmFAQData creator(file);
        }
        spec.kind = ConnectionSpec::Kind::Odbc;
        spec.database = u"QuillBay"_s;
    }
}

std::unique_ptr<TdmFAQData> TestStoreContract::openModule()
{
    auto module = std::make_unique<TdmFAQData>(spec);
    module->OpenDatabase();
    return module;
}

void TestStoreContract::run(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(dm->connectionName()));
    if (!query.exec(dm->dialect().translate(sql)))
        throw StoreError(query.lastError().text());
}

void TestStoreContract::init()
{
    dm = openModule();
    for (const char* table : {"FAQAction", "FAQAttachments", "FAQKeywords", "FAQ"})
        run(u"delete from "_s + QLatin1StringView(table));
    dm = openModule();
    ui.clear();
}

void TestStoreContract::cleanup()
{
    dm.reset();
    QCOMPARE(ui.texts(u"error"_s), QStringList());
}

int TestStoreContract::addMessage(const QString& shortName, const QString& hotword, const QString& text, int groupId,
                                  const QStringList& keywords)
{
    dm->NewMessage(groupId);
    dm->SetPendingMessage({hotword, shortName, text, {}});
    const int id = dm->SaveFAQ();
    for (const QString& keyword : keywords) {
        dm->Keywords().insert();
        dm->Keywords().setFieldValue(u"Keyword"_s, keyword);
        dm->Keywords().post();
    }
    return id;
}

void TestStoreContract::showMessage(int id)
{
    dm->PositionOn(id);
}

int TestStoreContract::saveEdited(int id, const std::function<void(TdmFAQData::MessageFields&)>& change)
{
    showMessage(id);
    if (!dm->EditMessage(id))
        throw Error(u"Message %1 not found"_s.arg(id));
    TdmFAQData::MessageFields fields = dm->PendingMessage();
    change(fields);
    dm->SetPendingMessage(fields);
    return dm->SaveFAQ();
}

DataSet TestStoreContract::select(const QString& sql)
{
    // Plain SQL on the module's connection, as the store runs its own statements.
    SqlCommand command;
    command.setConnection(dm->connectionName());
    command.commandText = sql;
    return command.execute();
}

void TestStoreContract::engineAndDataSource()
{
    const SqlDialect::Engine expected
        = Engine() == u"postgresql"_s ? SqlDialect::Engine::PostgreSQL : SqlDialect::Engine::SQLite;
    QCOMPARE(dm->dialect().engine(), expected);

    const ConnectionSpec found = DefaultConnectionSpec();
    if (Engine() == u"sqlite"_s) {
        QCOMPARE(found.kind, ConnectionSpec::Kind::Sqlite);
        QCOMPARE(found.database, JoinPath(dir.path(), u"quillbay.db"_s));
    } else {
        QCOMPARE(found.kind, ConnectionSpec::Kind::Odbc);
        QCOMPARE(found.database, u"QuillBay"_s);
    }

    // Every module has a connection of its own.
    auto second = openModule();
    QVERIFY(second->connectionName() != dm->connectionName());
    QVERIFY(dm->atFAQ.isOpen() && dm->Keywords().isOpen() && dm->Attachments().isOpen());
    QVERIFY(!dm->atFAQAction.isOpen());
}

void TestStoreContract::hotwordAndKeywordIgnoreCase()
{
    const int refund = addMessage(u"Refunds"_s, u"Refund"_s, u"We refund."_s, 0, {u"Money"_s, u"card"_s});
    const int refunds = addMessage(u"Refund policy"_s, u"refunds"_s, u"Policy."_s, 0, {u"money"_s});

    const DataSet& one = dm->aspTextByHotword.openWith(u"[hotword:]"_s, u"refund"_s);
    QCOMPARE(one.recordCount(), 1);
    QCOMPARE(one.integer(0, u"ID"_s), refund);
    QCOMPARE(one.text(0, u"shortname"_s), u"Refunds"_s);
    QCOMPARE(one.text(0, u"TEXT"_s), u"We refund."_s);
    QCOMPARE(dm->MessagesByHotword(u"REFUND"_s).recordCount(), 1);
    QCOMPARE(dm->MessagesByHotword(u"Ref"_s).recordCount(), 0);
    QCOMPARE(dm->MessagesByHotword(u"refund "_s).recordCount(), 0);

    QCOMPARE(Ids(dm->MessagesByKeyword(u"MONEY"_s)), (QList<int>{refund, refunds}));
    QCOMPARE(Ids(dm->MessagesByKeyword(u"card"_s)), QList<int>{refund});
    QCOMPARE(dm->MessagesByKeyword(u"car"_s).recordCount(), 0);

    const DataSet& byId = dm->aspTextByID.openWith(u"[id:]"_s, refunds);
    QCOMPARE(byId.recordCount(), 1);
    QCOMPARE(byId.text(0, u"Hotword"_s), u"refunds"_s);
}

void TestStoreContract::fullTextOverEveryField()
{
    const int a = addMessage(u"Shipping costs"_s, u"ship"_s, u"Postage is free."_s);
    const int b = addMessage(u"Returns"_s, u"returnlabel"_s, u"Print the LABEL."_s, 0, {u"parcel"_s});
    const int c = addMessage(u"Warranty"_s, u"warranty"_s, u"Two years."_s, 0, {u"guarantee"_s});

    auto search = [this](const QString& term) { return Ids(dm->MessagesByFullText(term)); };
    QCOMPARE(search(u"shipping"_s), QList<int>{a}); // short name, other case
    QCOMPARE(search(u"TURNLAB"_s), QList<int>{b}); // inside the Hotword
    QCOMPARE(search(u"age is fr"_s), QList<int>{a}); // inside the text, across words
    QCOMPARE(search(u"label"_s), QList<int>{b}); // Hotword and text of one Message
    QCOMPARE(search(u"uarant"_s), QList<int>{c}); // keyword
    QCOMPARE(search(u"nothing like it"_s), QList<int>{});

    // The index follows edits of the Message and of its keywords.
    saveEdited(c, [](auto& fields) { fields.text = u"Three years of cover."_s; });
    QCOMPARE(search(u"two years"_s), QList<int>{});
    QCOMPARE(search(u"three years"_s), QList<int>{c});
    dm->Keywords().setCurrentRow(0);
    dm->Keywords().edit();
    dm->Keywords().setFieldValue(u"Keyword"_s, u"promise"_s);
    dm->Keywords().post();
    QCOMPARE(search(u"guarantee"_s), QList<int>{});
    QCOMPARE(search(u"promise"_s), QList<int>{c});
    dm->Keywords().deleteRow();
    QCOMPARE(search(u"promise"_s), QList<int>{});
}

void TestStoreContract::fullTextLimitAndShortTerms()
{
    for (int i = 0; i < 55; ++i)
        addMessage(u"Item %1"_s.arg(i), u"item%1"_s.arg(i), u"Common words here, number %1."_s.arg(i));
    const int odd = addMessage(u"Odd"_s, u"odd"_s, u"x"_s, 0, {u"qz"_s});

    QCOMPARE(dm->MessagesByFullText(u"common words"_s).recordCount(), 50);
    QCOMPARE(dm->MessagesByFullText(u"number 54"_s).recordCount(), 1);
    // Terms shorter than the index's trigrams are still answered.
    QCOMPARE(Ids(dm->MessagesByFullText(u"QZ"_s)), QList<int>{odd});
    QCOMPARE(dm->MessagesByFullText(u"x"_s).recordCount(), 1);
    QCOMPARE(dm->MessagesByFullText(u"5"_s).recordCount(), 10);
    QCOMPARE(dm->MessagesByFullText(QString()).recordCount(), 0);
}

void TestStoreContract::childrenOrderedAndCounted()
{
    const int group = addMessage(u"group"_s, u"g"_s, u"g"_s);
    const int b = addMessage(u"beta"_s, u"b"_s, u"b"_s, group);
    const int a = addMessage(u"Alpha"_s, u"a"_s, u"a"_s, group);
    const int c = addMessage(u"Charlie"_s, u"c"_s, u"c"_s, group);
    const int top = addMessage(u"Top"_s, u"t"_s, u"t"_s);

    const DataSet& children = dm->ChildrenOf(group);
    QCOMPARE(children.recordCount(), 3);
    QCOMPARE((QList<int>{children.integer(0, u"ID"_s), children.integer(1, u"ID"_s), children.integer(2, u"ID"_s)}),
             (QList<int>{a, b, c}));
    QCOMPARE(children.text(1, u"Hotword"_s), u"b"_s);
    QCOMPARE(Ids(dm->ChildrenOf(0)), (QList<int>{group, top}));

    const DataSet& count = dm->aspCountByParentID.openWith(u"[groupid:]"_s, group);
    QCOMPARE(count.recordCount(), 1);
    QCOMPARE(count.integer(0, u"count"_s), 3);
    QCOMPARE(dm->aspCountByParentID.openWith(u"[GROUPID:]"_s, a).integer(0, u"Count"_s), 0);

    dm->aspUpdateParentID.close();
    dm->aspUpdateParentID.setParameter(u"[newparentid:]"_s, top);
    dm->aspUpdateParentID.setParameter(u"[ID:]"_s, b);
    dm->aspUpdateParentID.execute();
    QCOMPARE(dm->aspCountByParentID.openWith(u"[groupid:]"_s, group).integer(0, u"count"_s), 2);
    QCOMPARE(Ids(dm->ChildrenOf(top)), QList<int>{b});
}

void TestStoreContract::parametersByNameOnly()
{
    QCOMPARE(dm->aspTextByID.findParameter(u"[id:]"_s), u"[ID:]"_s);
    QCOMPARE(dm->aspTextByID.findParameter(u"ID:"_s), QString());
    QCOMPARE(ErrorText([this] { dm->aspTextByID.setParameter(u"[messageid:]"_s, 1); }),
             u"Could not find parameter called messageid: in aspTextByID"_s);
    QCOMPARE(ErrorText([] { RaiseParameterNotFound(u"[ID:]"_s, u"aspTextByID"_s); }),
             u"Could not find parameter called ID: in aspTextByID"_s);
    QCOMPARE(ErrorText([] { RaiseParameterNotFound(u"id: or newparentid:"_s, u"aspUpdateParentID"_s); }),
             u"Could not find parameter called id: or newparentid: in aspUpdateParentID"_s);
    QCOMPARE(dm->aspUpdateParentID.parameterNames(), (QStringList{u"[newparentid:]"_s, u"[id:]"_s}));
    QCOMPARE(dm->aspFullText.parameterNames(), QStringList{u"[search term:]"_s});

    // A result is counted before its rows are read, and stays until the next use.
    addMessage(u"One"_s, u"one"_s, u"1"_s);
    dm->aspTextByHotword.close();
    dm->aspTextByHotword.setParameter(u"[HOTWORD:]"_s, u"one"_s);
    dm->aspTextByHotword.open();
    QVERIFY(dm->aspTextByHotword.isOpen());
    QCOMPARE(dm->aspTextByHotword.recordCount(), 1);
    dm->aspTextByHotword.close();
    QVERIFY(!dm->aspTextByHotword.isOpen());
    QCOMPARE(dm->aspTextByHotword.recordCount(), 0);
}

void TestStoreContract::hostileTermsAreSearchedLiterally()
{
    const QStringList terms = {u"'; drop table FAQ; --"_s,
                               u"it's"_s,
                               u"say \"hi"_s,
                               u"\"*():^-"_s,
                               u"100%"_s,
                               u"a_b"_s,
                               u"back\\slash"_s,
                               u"[ID:]"_s,
                               u"NEAR(a b)"_s,
                               u"x OR y"_s,
                               u"'"_s,
                               u"\""_s,
                               u"%"_s,
                               u"_"_s,
                               u"*"_s};
    QList<int> ids;
    for (int i = 0; i < terms.size(); ++i)
        ids << addMessage(u"Case %1"_s.arg(i), terms.at(i), u"Text with "_s + terms.at(i) + u" inside"_s, 0,
                          {terms.at(i)});
    const int plain = addMessage(u"Plain"_s, u"plain"_s, u"Text with a b and xy inside"_s);

    for (int i = 0; i < terms.size(); ++i) {
        const QString& term = terms.at(i);
        QCOMPARE(Ids(dm->MessagesByHotword(term)), QList<int>{ids.at(i)});
        QCOMPARE(Ids(dm->MessagesByKeyword(term)), QList<int>{ids.at(i)});
        const QList<int> found = Ids(dm->MessagesByFullText(term));
        QVERIFY2(found.contains(ids.at(i)), qUtf8Printable(term));
        QVERIFY2(!found.contains(plain), qUtf8Printable(term));
    }
    // Wildcards are plain characters.
    QCOMPARE(Ids(dm->MessagesByFullText(u"100%"_s)), QList<int>{ids.at(4)});
    QCOMPARE(Ids(dm->MessagesByFullText(u"a_b"_s)), QList<int>{ids.at(5)});
    QCOMPARE(dm->MessagesByHotword(u"%"_s).recordCount(), 1);
    QCOMPARE(dm->MessageByID(plain).recordCount(), 1);
}

void TestStoreContract::textsRoundTripUnchanged()
{
    QString big;
    big.reserve(1 << 20);
    const QString line = u"Zeile mit Umlauten äöü ß, 日本語のテキスト, emoji 😀🎉 and 'quotes' \"too\".\r\n"_s;
    while (big.size() < (1 << 20))
        big += line;
    const QString name = u"Crème brûlée 😀"_s;
    const QString hotword = u"日本語"_s;
    const int id = addMessage(name, hotword, big, 0, {u"Ünïcödé"_s});

    const DataSet& row = dm->MessagesByHotword(hotword);
    QCOMPARE(row.recordCount(), 1);
    QCOMPARE(row.text(0, u"ShortName"_s), name);
    QVERIFY(row.text(0, u"Text"_s) == big);
    QCOMPARE(Ids(dm->MessagesByKeyword(u"Ünïcödé"_s)), QList<int>{id});
    QCOMPARE(Ids(dm->MessagesByFullText(u"のテキ"_s)), QList<int>{id});
    QCOMPARE(Ids(dm->MessagesByFullText(u"🎉"_s)), QList<int>{id});

    // Notes are text: nothing is turned into a number.
    for (const QString& note : {u"1.0"_s, u"007"_s, u"1e3"_s, u" 12 "_s, u"Notiz: café ☕"_s}) {
        QCOMPARE(saveEdited(id, [&note](auto& fields) { fields.notes = note; }), id);
        QCOMPARE(select(u"select Notes from FAQ where ID = "_s + QString::number(id)).text(0, u"Notes"_s), note);
        auto fresh = openModule();
        fresh->PositionOn(id);
        QCOMPARE(fresh->PendingMessage().notes, note);
        QCOMPARE(fresh->NotesOf(id), note);
    }
    // A Message without notes reads as empty text.
    const int bare = addMessage(u"bare"_s, u"bare"_s, u"bare"_s);
    QCOMPARE(select(u"select Notes from FAQ where ID = "_s + QString::number(bare)).text(0, u"notes"_s), QString());
}

void TestStoreContract::detailTablesFollowTheMessage()
{
    const int first = addMessage(u"First"_s, u"first"_s, u"1"_s, 0, {u"k1"_s, u"k2"_s});
    const int second = addMessage(u"Second"_s, u"second"_s, u"2"_s, 0, {u"k3"_s});

    showMessage(first);
    QCOMPARE(dm->CurrentMessageID(), std::optional<int>(first));
    QCOMPARE(dm->Keywords().recordCount(), 2);
    QCOMPARE(dm->Keywords().fieldValue(u"Keyword"_s).toString(), u"k1"_s);
    dm->Attachments().insert();
    dm->Attachments().setFieldValue(u"Filename"_s, u"/tmp/price list.txt"_s);
    dm->Attachments().setFieldValue(u"PromptToUse"_s, true);
    dm->Attachments().post();
    dm->Attachments().insert();
    dm->Attachments().setFieldValue(u"Filename"_s, u"/tmp/b.doc"_s);
    dm->Attachments().setFieldValue(u"PromptToUse"_s, false);
    dm->Attachments().post();

    showMessage(second);
    QCOMPARE(dm->Keywords().recordCount(), 1);
    QCOMPARE(dm->Keywords().fieldValue(u"Keyword"_s).toString(), u"k3"_s);
    QCOMPARE(dm->Keywords().fieldValue(u"FAQID"_s).toInt(), second);
    QCOMPARE(dm->Attachments().recordCount(), 0);

    const DataSet& attachments = dm->AttachmentsOf(first);
    QCOMPARE(attachments.recordCount(), 2);
    QCOMPARE(attachments.text(0, u"Filename"_s), u"/tmp/price list.txt"_s);
    QVERIFY(attachments.boolean(0, u"PromptToUse"_s));
    QVERIFY(!attachments.boolean(1, u"prompttouse"_s));

    // A new Message starts without keywords; the shown Message's come back after Cancel.
    dm->NewMessage(0);
    QCOMPARE(dm->Keywords().recordCount(), 0);
    dm->Keywords().insert();
    dm->Keywords().setFieldValue(u"Keyword"_s, u"dropped"_s);
    dm->CancelMessage();
    QCOMPARE(dm->Keywords().recordCount(), 1);

    // The filter is the only one the module understands.
    QVERIFY(!ErrorText([this] { dm->atFAQ.setFilter(u"id = 1 or 1 = 1"_s); }).isEmpty());
    QVERIFY(!ErrorText([this] { dm->atFAQ.setFilter(u"nosuchfield = 1"_s); }).isEmpty());
    QCOMPARE(dm->CurrentMessageID(), std::optional<int>(second));
    showMessage(first);
    QCOMPARE(dm->Attachments().recordCount(), 2);
    dm->atFAQ.setFiltered(false);
    QCOMPARE(dm->atFAQ.recordCount(), 2);
}

void TestStoreContract::saveReturnsTheNewId()
{
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int id = addMessage(u"Child"_s, u"child"_s, u"c"_s, group);
    QVERIFY(id > group);
    QCOMPARE(dm->messageState(), DataSetState::Browse);
    QCOMPARE(dm->CurrentMessageID(), std::optional<int>(id));
    QCOMPARE(dm->GroupIDOf(id), std::optional<int>(group));
    const DataSet& row = dm->MessagesByHotword(u"child"_s);
    QCOMPARE(row.integer(0, u"ID"_s), id);
    QCOMPARE(row.integer(0, u"GroupID"_s), group);

    // A new keyword belongs to the Message just saved.
    dm->Keywords().insert();
    QCOMPARE(dm->Keywords().fieldValue(u"FAQID"_s).toInt(), id);
    dm->Keywords().setFieldValue(u"Keyword"_s, u"kid"_s);
    dm->Keywords().post();
    QCOMPARE(Ids(dm->MessagesByKeyword(u"kid"_s)), QList<int>{id});
    QVERIFY(!ErrorText([this] {
                 dm->atFAQ.edit();
                 dm->atFAQ.setFieldValue(u"ID"_s, 99);
             }).isEmpty());
    dm->atFAQ.cancel();
}

void TestStoreContract::duplicateHotwordKeepsTheEdit()
{
    addMessage(u"Refund"_s, u"Refund"_s, u"text"_s);
    const QString taken = u"An error occurred while trying to save your Message.  Please ensure the "
                          "HotWord you are using is unique and then try again."_s;
    const QString tooLong
        = u"The HotWord may have at most 50 characters; this one has 51. Please shorten it and try again."_s;
    QList<int> states;
    connect(dm.get(), &TdmFAQData::dsFAQStateChange, this, [&states](int state) { states << state; });
    const auto withHotword = [this](const QString& hotword) {
        TdmFAQData::MessageFields fields = dm->PendingMessage();
        fields.hotword = hotword;
        dm->SetPendingMessage(fields);
    };

    dm->NewMessage(0);
    dm->SetPendingMessage({u"REFUND"_s, u"Second refund"_s, u"typed text"_s, {}});
    QCOMPARE(TextOf<HotwordTaken>([this] { dm->SaveFAQ(); }), taken);
    QCOMPARE(dm->messageState(), DataSetState::Insert);
    QCOMPARE(dm->PendingMessage().text, u"typed text"_s);
    QCOMPARE(dm->PendingMessage().hotword, u"REFUND"_s);

    withHotword(u"refund2"_s);
    const int id = dm->SaveFAQ();
    QCOMPARE(dm->MessagesByHotword(u"refund2"_s).integer(0, u"ID"_s), id);
    QCOMPARE(dm->MessagesByHotword(u"refund"_s).recordCount(), 1);
    QCOMPARE(states, (QList<int>{int(DataSetState::Insert), int(DataSetState::Browse)}));

    // The same for an edit; a Hotword longer than its column is refused with its own text.
    QVERIFY(dm->EditMessage(id));
    withHotword(u"refund"_s);
    QCOMPARE(TextOf<HotwordTaken>([this] { dm->SaveFAQ(); }), taken);
    withHotword(QString(51, u'h'));
    QCOMPARE(TextOf<HotwordTooLong>([this] { dm->SaveFAQ(); }), tooLong);
    QCOMPARE(dm->messageState(), DataSetState::Edit);
    // Its own Hotword in another case is no duplicate.
    withHotword(u"REFUND2"_s);
    QCOMPARE(dm->SaveFAQ(), id);
    QVERIFY(dm->EditMessage(id));
    withHotword(QString(50, u'h'));
    QCOMPARE(dm->SaveFAQ(), id);
    QCOMPARE(dm->MessageByID(id).text(0, u"Hotword"_s), QString(50, u'h'));

    // Any other refusal gives the database's reason, not the uniqueness refusal.
    QVERIFY(dm->EditMessage(id));
    TdmFAQData::MessageFields fields = dm->PendingMessage();
    fields.shortName = QString(300, u's');
    dm->SetPendingMessage(fields);
    const QString reason = TextOf<StoreError>([this] { dm->SaveFAQ(); });
    QVERIFY(!reason.isEmpty() && reason != taken);
    QCOMPARE(dm->messageState(), DataSetState::Edit);
    dm->CancelMessage();
    QCOMPARE(dm->messageState(), DataSetState::Browse);
    // The store itself shows nothing.
    QVERIFY(ui.shown.isEmpty());
}

void TestStoreContract::pendingEditStaysWithItsRow()
{
    const int a = addMessage(u"A"_s, u"a"_s, u"text of a"_s, 0, {u"ka"_s});
    const int b = addMessage(u"B"_s, u"b"_s, u"text of b"_s, 0, {u"kb"_s});
    showMessage(a);
    QVERIFY(dm->EditMessage(a));
    TdmFAQData::MessageFields fields = dm->PendingMessage();
    fields.text = u"changed a"_s;
    dm->SetPendingMessage(fields);
    // Showing another Message meanwhile must not turn the edit into an edit of that one.
    showMessage(b);
    QCOMPARE(dm->Keywords().fieldValue(u"Keyword"_s).toString(), u"ka"_s);
    QCOMPARE(dm->SaveFAQ(), a);
    QCOMPARE(dm->MessageByID(a).text(0, u"Text"_s), u"changed a"_s);
    QCOMPARE(dm->MessageByID(b).text(0, u"Text"_s), u"text of b"_s);
    QCOMPARE(dm->CurrentMessageID(), std::optional<int>(b));
    QCOMPARE(dm->Keywords().fieldValue(u"Keyword"_s).toString(), u"kb"_s);
}

void TestStoreContract::cancelAndDelete()
{
    const int keep = addMessage(u"Keep"_s, u"keep"_s, u"stored text"_s, 0, {u"stay"_s});
    const int gone = addMessage(u"Gone"_s, u"gone"_s, u"doomed"_s, 0, {u"bye"_s});

    showMessage(keep);
    QVERIFY(dm->EditMessage(keep));
    TdmFAQData::MessageFields fields = dm->PendingMessage();
    fields.text = u"never saved"_s;
    dm->SetPendingMessage(fields);
    dm->CancelMessage();
    QCOMPARE(dm->PendingMessage().text, u"stored text"_s);
    QCOMPARE(dm->MessageByID(keep).text(0, u"Text"_s), u"stored text"_s);

    showMessage(gone);
    dm->DeleteFAQ(gone);
    QCOMPARE(dm->CurrentMessageID(), std::nullopt);
    QCOMPARE(dm->Keywords().recordCount(), 0);
    QCOMPARE(dm->MessageByID(gone).recordCount(), 0);
    QCOMPARE(dm->MessagesByKeyword(u"bye"_s).recordCount(), 0);
    QCOMPARE(dm->MessagesByFullText(u"doomed"_s).recordCount(), 0);
    QCOMPARE(Ids(dm->MessagesByKeyword(u"stay"_s)), QList<int>{keep});
    // A new Message never takes the key, and so the keywords, of a deleted one.
    const int next = addMessage(u"Next"_s, u"next"_s, u"n"_s);
    QVERIFY(next > gone);
}

void TestStoreContract::detailRowsEditedInPlace()
{
    const int id = addMessage(u"M"_s, u"m"_s, u"t"_s, 0, {u"alpha"_s, u"beta"_s});
    showMessage(id);
    DetailRows& keywords = dm->Keywords();
    QCOMPARE(keywords.valueAt(1, u"Keyword"_s).toString(), u"beta"_s);

    // A detail row's link alone is no change; a typed field is.
    keywords.insert();
    QVERIFY(!keywords.modified());
    keywords.cancel();
    keywords.setCurrentRow(0);
    keywords.edit();
    QVERIFY(!keywords.modified());
    keywords.setFieldValue(u"Keyword"_s, u"gamma"_s);
    QVERIFY(keywords.modified());
    QCOMPARE(keywords.valueAt(0, u"Keyword"_s).toString(), u"gamma"_s);
    // Moving to another row stores the pending one.
    keywords.setCurrentRow(1);
    QCOMPARE(Ids(dm->MessagesByKeyword(u"gamma"_s)), QList<int>{id});
    QCOMPARE(dm->MessagesByKeyword(u"alpha"_s).recordCount(), 0);
    keywords.deleteRow();
    QCOMPARE(dm->MessagesByKeyword(u"beta"_s).recordCount(), 0);
    QCOMPARE(keywords.recordCount(), 1);

    DetailRows& attachments = dm->Attachments();
    attachments.insert();
    attachments.setFieldValue(u"Filename"_s, u"/srv/a b/price.doc"_s);
    attachments.setFieldValue(u"PromptToUse"_s, false);
    attachments.post();
    attachments.edit();
    attachments.setFieldValue(u"PromptToUse"_s, true);
    attachments.post();
    QVERIFY(attachments.valueAt(0, u"PromptToUse"_s).toBool());
    const DataSet rows = dm->AttachmentsOf(id);
    QCOMPARE(rows.recordCount(), 1);
    QCOMPARE(rows.text(0, u"Filename"_s), u"/srv/a b/price.doc"_s);
    QVERIFY(rows.boolean(0, u"PromptToUse"_s));
}

void TestStoreContract::newMessageStoresItsRowsInOneGo()
{
    const int taken = addMessage(u"Refund policy"_s, u"refund"_s, u"r"_s);
    const auto startNew = [this] {
        dm->NewMessage(0);
        dm->SetPendingMessage({u"new"_s, u"New one"_s, u"typed"_s, {}});
        for (const QString& keyword : {u"k1"_s, u"k2"_s}) {
            dm->Keywords().insert();
            dm->Keywords().setFieldValue(u"Keyword"_s, keyword);
            dm->Keywords().post();
        }
        dm->Attachments().insert();
        dm->Attachments().setFieldValue(u"Filename"_s, u"/srv/price.doc"_s);
        dm->Attachments().setFieldValue(u"PromptToUse"_s, true);
        // Left pending: Save posts it.
    };
    const auto storedRows = [this] { return count(u"FAQKeywords"_s) + count(u"FAQAttachments"_s); };

    // Cancel stores nothing, and the grids show the shown Message's rows again.
    showMessage(taken);
    startNew();
    QCOMPARE(dm->Keywords().recordCount(), 2);
    dm->CancelMessage();
    QCOMPARE(count(u"FAQ"_s), 1);
    QCOMPARE(storedRows(), 0);
    QVERIFY(!dm->Keywords().staged());
    QCOMPARE(dm->Keywords().recordCount(), 0);

    // A taken Hotword names its owner and keeps the rows for the next Save.
    startNew();
    TdmFAQData::MessageFields fields = dm->PendingMessage();
    fields.hotword = u"REFUND"_s;
    dm->SetPendingMessage(fields);
    try {
        dm->SaveFAQ();
        QFAIL("the taken Hotword was saved");
    } catch (const HotwordTaken& refusal) {
        QCOMPARE(refusal.ownerID(), taken);
        QCOMPARE(refusal.ownerShortName(), u"Refund policy"_s);
    }
    QCOMPARE(storedRows(), 0);
    QCOMPARE(dm->Attachments().recordCount(), 1);

    // A row the database refuses takes the Message with it; everything typed waits.
    dm->Keywords().insert();
    dm->Keywords().setFieldValue(u"Keyword"_s, QString(300, u'k'));
    fields.hotword = u"new"_s;
    dm->SetPendingMessage(fields);
    QVERIFY(!TextOf<StoreError>([this] { dm->SaveFAQ(); }).isEmpty());
    QCOMPARE(count(u"FAQ"_s), 1);
    QCOMPARE(storedRows(), 0);
    QCOMPARE(dm->messageState(), DataSetState::Insert);
    QCOMPARE(dm->PendingMessage(), fields);
    QCOMPARE(dm->Keywords().recordCount(), 3);

    dm->Keywords().setCurrentRow(2);
    dm->Keywords().deleteRow();
    const int id = dm->SaveFAQ();
    QCOMPARE(dm->CurrentMessageID(), std::optional<int>(id));
    QCOMPARE(dm->GroupIDOf(id), std::optional<int>(0));
    QVERIFY(!dm->Keywords().staged());
    QCOMPARE(dm->Keywords().recordCount(), 2);
    QCOMPARE(dm->Keywords().valueAt(1, u"Keyword"_s).toString(), u"k2"_s);
    QCOMPARE(dm->Keywords().valueAt(1, u"FAQID"_s).toInt(), id);
    QCOMPARE(Ids(dm->MessagesByKeyword(u"k1"_s)), QList<int>{id});
    const DataSet attachments = dm->AttachmentsOf(id);
    QCOMPARE(attachments.recordCount(), 1);
    QCOMPARE(attachments.text(0, u"Filename"_s), u"/srv/price.doc"_s);
    QVERIFY(attachments.boolean(0, u"PromptToUse"_s));
    QCOMPARE(storedRows(), 3);
}

void TestStoreContract::typedCalls()
{
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int child = addMessage(u"Child"_s, u"child"_s, u"c"_s, group, {u"kc"_s});
    const int other = addMessage(u"Other"_s, u"other"_s, u"o"_s);
    saveEdited(child, [](auto& fields) { fields.notes = u"  inner notes "_s; });
    dm->Attachments().insert();
    dm->Attachments().setFieldValue(u"Filename"_s, u"/tmp/x.txt"_s);
    dm->Attachments().post();
    run(u"insert into FAQAction (FAQID, Action) values ("_s + QString::number(child) + u", 'Used')"_s);

    QCOMPARE(dm->NotesOf(child), u"  inner notes "_s);
    QCOMPARE(dm->NotesOf(other), QString());
    QCOMPARE(dm->CountChildren(group), 1);
    QCOMPARE(dm->GroupIDOf(child), std::optional<int>(group));
    QCOMPARE(dm->GroupIDOf(99999), std::nullopt);
    QCOMPARE(dm->ChildrenOf(group).text(0, u"ShortName"_s), u"Child"_s);

    dm->UpdateParentID(child, other);
    QCOMPARE(dm->GroupIDOf(child), std::optional<int>(other));
    QCOMPARE(dm->CountChildren(group), 0);
    dm->UpdateParentID(child, 0);
    QCOMPARE(dm->GroupIDOf(child), std::optional<int>(0));

    // A deleted Message takes its keyword, attachment and usage rows with it.
    dm->DeleteFAQ(child);
    QCOMPARE(dm->MessageByID(child).recordCount(), 0);
    QCOMPARE(
        select(u"select count(*) as n from FAQKeywords where FAQID = "_s + QString::number(child)).integer(0, u"n"_s),
        0);
    QCOMPARE(select(u"select count(*) as n from FAQAttachments where FAQID = "_s + QString::number(child))
                 .integer(0, u"n"_s),
             0);
    QCOMPARE(
        select(u"select count(*) as n from FAQAction where FAQID = "_s + QString::number(child)).integer(0, u"n"_s), 0);
    QCOMPARE(dm->AttachmentsOf(child).recordCount(), 0);
    QCOMPARE(dm->MessageByID(other).recordCount(), 1);
    QVERIFY_THROWS_EXCEPTION(StoreError, dm->DeleteFAQ(child));
}

void TestStoreContract::copyHotwords_data()
{
    QTest::addColumn<QString>("hotword");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("copy");
    const QString fifty(50, u'h');
    QTest::newRow("free") << u"quote"_s << QStringList() << u"quote-copy"_s;
    QTest::newRow("first copy taken") << u"quote"_s << QStringList{u"quote-copy"_s} << u"quote-copy2"_s;
    QTest::newRow("taken in other case") << u"quote"_s << QStringList{u"QUOTE-COPY"_s, u"Quote-Copy2"_s}
                                         << u"quote-copy3"_s;
    QTest::newRow("longest Hotword") << fifty << QStringList() << QString(45, u'h') + u"-copy"_s;
    QTest::newRow("longest, first copy taken")
        << fifty << QStringList{QString(45, u'h') + u"-copy"_s} << QString(44, u'h') + u"-copy2"_s;
}

void TestStoreContract::copyHotwords()
{
    QFETCH(QString, hotword);
    QFETCH(QStringList, taken);
    QFETCH(QString, copy);
    addMessage(u"Original"_s, hotword, u"t"_s);
    for (const QString& other : taken)
        addMessage(u"Taken"_s, other, u"t"_s);
    QCOMPARE(dm->CopyHotword(hotword), copy);
}

void TestStoreContract::duplicateCopiesDetailsAndOutlineListsAll()
{
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int original = addMessage(u"Leaf"_s, u"leaf"_s, u"Leaf's text"_s, group, {u"ka"_s, u"kb"_s});
    saveEdited(original, [](auto& fields) { fields.notes = u"notes"_s; });
    for (const auto& [file, ask] : {std::pair{u"/tmp/a.txt"_s, true}, std::pair{u"/tmp/b.txt"_s, false}}) {
        dm->Attachments().insert();
        dm->Attachments().setFieldValue(u"Filename"_s, file);
        dm->Attachments().setFieldValue(u"PromptToUse"_s, ask);
        dm->Attachments().post();
    }
    const int plain = addMessage(u"Plain"_s, u"plain"_s, u"p"_s);

    const int copy = dm->DuplicateMessage(original);
    const int second = dm->DuplicateMessage(original);
    const int plainCopy = dm->DuplicateMessage(plain);
    QVERIFY(copy != original && second != copy);
    const DataSet row = dm->MessageByID(copy);
    QCOMPARE(row.text(0, u"Hotword"_s), u"leaf-copy"_s);
    QCOMPARE(row.text(0, u"ShortName"_s), u"Leaf"_s);
    QCOMPARE(row.text(0, u"Text"_s), u"Leaf's text"_s);
    QCOMPARE(row.integer(0, u"GroupID"_s), group);
    QCOMPARE(dm->NotesOf(copy), u"notes"_s);
    QCOMPARE(dm->MessageByID(second).text(0, u"Hotword"_s), u"leaf-copy2"_s);
    QCOMPARE(dm->MessagesByKeyword(u"kb"_s).recordCount(), 3);
    const DataSet files = dm->AttachmentsOf(copy);
    QCOMPARE(files.recordCount(), 2);
    QCOMPARE(files.text(0, u"Filename"_s), u"/tmp/a.txt"_s);
    QVERIFY(files.boolean(0, u"PromptToUse"_s));
    QVERIFY(!files.boolean(1, u"PromptToUse"_s));
    QCOMPARE(dm->AttachmentsOf(plainCopy).recordCount(), 0);
    QCOMPARE(dm->NotesOf(plainCopy), QString());
    // The original keeps its own rows.
    QCOMPARE(dm->AttachmentsOf(original).recordCount(), 2);

    QStringList outline;
    for (const TdmFAQData::OutlineEntry& entry : dm->MessageOutline())
        outline
            << u"%1 %2 %3"_s.arg(entry.shortName, entry.hotword).arg(entry.groupID == group ? u"in group"_s : u"top"_s);
    // By short name; the order among equal names is the engine's.
    QCOMPARE(outline.first(), u"Group group top"_s);
    QCOMPARE(outline.mid(4).first().left(5), u"Plain"_s);
    outline.sort();
    QCOMPARE(outline,
             (QStringList{u"Group group top"_s, u"Leaf leaf in group"_s, u"Leaf leaf-copy in group"_s,
                          u"Leaf leaf-copy2 in group"_s, u"Plain plain top"_s, u"Plain plain-copy top"_s}));

    QVERIFY_THROWS_EXCEPTION(StoreError, dm->DuplicateMessage(99999));
    QCOMPARE(dm->MessageOutline().size(), 6);
}

void TestStoreContract::plainStatements()
{
    const int b = addMessage(u"Beta"_s, u"beta"_s, u"b"_s);
    const int a = addMessage(u"Alpha"_s, u"alpha"_s, u"a"_s);
    for (int id : {b, b, a})
        run(u"insert into FAQAction (FAQID, Action) values (%1, 'Used')"_s.arg(id));
    run(u"insert into FAQAction (FAQID, Action) values (%1, 'Viewed')"_s.arg(a));

    const DataSet top = select(u"select top 1 * from FAQ"_s);
    QCOMPARE(top.recordCount(), 1);
    QVERIFY(top.hasField(u"Notes"_s) && top.hasField(u"shortname"_s) && top.hasField(u"GROUPID"_s));
    QVERIFY(dm->HasNotesColumn());

    const QList<TdmFAQData::HotwordEntry> list = dm->HotwordList();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(0).hotword, u"alpha"_s);
    QCOMPARE(list.at(0).shortName, u"Alpha"_s);
    QCOMPARE(list.at(1).shortName, u"Beta"_s);

    // Only uses count, and Messages of one short name count together.
    const int beta2 = addMessage(u"Beta"_s, u"beta2"_s, u"b"_s);
    run(u"insert into FAQAction (FAQID, Action) values (%1, 'Used')"_s.arg(beta2));
    const QList<TdmFAQData::UsageCount> usage = dm->UsageReport();
    QCOMPARE(usage.size(), 2);
    QCOMPARE(usage.at(0).shortName, u"Beta"_s);
    QCOMPARE(usage.at(0).count, 3);
    QCOMPARE(usage.at(1).shortName, u"Alpha"_s);
    QCOMPARE(usage.at(1).count, 1);
    run(u"delete from FAQAction"_s);
    QVERIFY(dm->UsageReport().isEmpty());
}

void TestStoreContract::missingNotesColumnIsAdded()
{
    const int id = addMessage(u"Old"_s, u"old"_s, u"from an old database"_s);
    run(u"alter table FAQ drop column Notes"_s);
    dm.reset();

    const QString notice = u"The database has been altered to allow new functions to be added to Tolvane Quillbay. "
                           "None of your data has been changed or lost.  When you run this program again, the "
                           "program will be fully functional.\r\n\r\nPress OK to close Tolvane Quillbay"_s;
    dm = std::make_unique<TdmFAQData>(spec);
    QCOMPARE(TextOf<SchemaUpgraded>([this] { dm->OpenDatabase(); }), notice);
    QVERIFY(dm->HasNotesColumn());

    dm = std::make_unique<TdmFAQData>(spec);
    QCOMPARE(TextOf<StoreError>([this] { dm->OpenDatabase(); }), QString());
    QVERIFY(ui.shown.isEmpty());
    // The new column holds text as written.
    showMessage(id);
    QVERIFY(dm->EditMessage(id));
    TdmFAQData::MessageFields fields = dm->PendingMessage();
    fields.notes = u"007"_s;
    dm->SetPendingMessage(fields);
    dm->SaveFAQ();
    QCOMPARE(dm->NotesOf(id), u"007"_s);
    QCOMPARE(dm->MessageByID(id).text(0, u"Text"_s), u"from an old database"_s);
}

void TestStoreContract::reconnectKeepsEverything()
{
    const int a = addMessage(u"A"_s, u"a"_s, u"a"_s, 0, {u"k"_s});
    showMessage(a);
    dm->MessagesByHotword(u"a"_s);
    int changes = 0;
    connect(&dm->atFAQ, &DataTable::currentRowChanged, this, [&changes] { ++changes; });
    dm->OpenDatabase();
    QCOMPARE(changes, 0);
    QVERIFY(dm->aspTextByHotword.isOpen());
    QCOMPARE(dm->CurrentMessageID(), std::optional<int>(a));
    QCOMPARE(dm->Keywords().recordCount(), 1);
    QVERIFY(!dm->atFAQAction.isOpen());
    QCOMPARE(ui.shown.size(), 0);
}

void TestStoreContract::administratorChangesAMatchingRule()
{
    const int id = addMessage(u"Refund"_s, u"refund-card"_s, u"r"_s);
    QCOMPARE(dm->MessagesByHotword(u"refund"_s).recordCount(), 0);
    const QString original = select(u"select Body from SavedQueries where Name = 'TextByHotWord'"_s).text(0, u"Body"_s);
    QVERIFY(original.contains(u"[Hotword:]"_s));

    // A prefix rule, written by hand in the saved queries table.
    auto setBody = [this](const QString& body) {
        QString quoted = body;
        quoted.replace(u"'"_s, u"''"_s);
        run(u"update SavedQueries set Body = '"_s + quoted + u"' where Name = 'TextByHotWord'"_s);
    };
    setBody(u"select ID, ShortName, Text from FAQ where Hotword like [hotword:] || '%'"_s);
    auto module = openModule();
    QCOMPARE(Ids(module->aspTextByHotword.openWith(u"[Hotword:]"_s, u"refund"_s)), QList<int>{id});
    module.reset();

    // A body that does not take the parameter the caller sets fails naming that parameter,
    // rather than answering every row.
    for (const QString& body : {u"select ID from FAQ where Hotword = [word:]"_s, u"select ID from FAQ"_s}) {
        setBody(body);
        module = openModule();
        QCOMPARE(ErrorText([&module] { module->aspTextByHotword.openWith(u"[Hotword:]"_s, u"x"_s); }),
                 u"Could not find parameter called Hotword: in aspTextByHotword"_s);
        module.reset();
    }
    setBody(original);
}

void TestStoreContract::clearTables()
{
    for (const char* table : {"FAQAction", "FAQAttachments", "FAQKeywords", "FAQ"})
        run(u"delete from "_s + QLatin1StringView(table));
}

int TestStoreContract::count(const QString& table)
{
    return select(u"select count(*) as n from "_s + table).integer(0, u"n"_s);
}

void TestStoreContract::exportImportRoundTrip_data()
{
    QTest::addColumn<bool>("csv");
    QTest::newRow("csv") << true;
    QTest::newRow("json") << false;
}

void TestStoreContract::exportImportRoundTrip()
{
    QFETCH(bool, csv);
    const auto write = [csv](const MessageCollection& c) { return csv ? WriteCsv(c) : WriteJson(c); };
    for (const QString& statement : SqlScriptStatements(ExampleMessagesScript()))
        run(statement);
    // A Message moved under one created after it, keywords, attachments and awkward texts.
    const int late = addMessage(u"Late group"_s, u"late"_s, u"Made last, \"quoted\", a;b\r\nnext"_s, 0,
                                {u"zeta"_s, u"Alpha, beta"_s});
    dm->Attachments().insert();
    dm->Attachments().setFieldValue(u"Filename"_s, u"/tmp/a|b, c.pdf"_s);
    dm->Attachments().setFieldValue(u"PromptToUse"_s, true);
    dm->Attachments().post();
    dm->Attachments().insert();
    dm->Attachments().setFieldValue(u"Filename"_s, u"/tmp/plain.txt"_s);
    dm->Attachments().post();
    const int start = dm->MessagesByHotword(u"start"_s).integer(0, u"ID"_s);
    dm->UpdateParentID(start, late);

    const MessageCollection first = ReadAllMessages(*dm);
    const QByteArray exported = write(first);
    QCOMPARE(first.messages.first().hotword, u"orders"_s);

    const int lastId = select(u"select max(ID) as id from FAQ"_s).integer(0, u"id"_s);
    clearTables();
    const ImportOutcome outcome = ImportMessages(*dm, csv ? ReadCsv(exported) : ReadJson(exported), ImportChoice::Skip);
    QCOMPARE(outcome.messages, int(first.messages.size()));
    QCOMPARE(outcome.keywords, count(u"FAQKeywords"_s));
    QCOMPARE(outcome.attachments, 2);
    QCOMPARE(outcome.skipped, QStringList());
    // Keys of deleted Messages are not given out again.
    QVERIFY(select(u"select min(ID) as id from FAQ"_s).integer(0, u"id"_s) > lastId);
    QCOMPARE(dm->GroupIDOf(dm->MessagesByHotword(u"start"_s).integer(0, u"ID"_s)),
             dm->MessagesByHotword(u"late"_s).integer(0, u"ID"_s));
    QCOMPARE(write(ReadAllMessages(*dm)), exported);
}

void TestStoreContract::importIssues_data()
{
    QTest::addColumn<ImportChoice>("choice");
    QTest::addColumn<QStringList>("hotwords");
    QTest::addColumn<int>("childGroup"); // index into hotwords, -1: top level
    QTest::addColumn<int>("skipped");

    const QString longWord(60, u'w');
    // Parents come before their children, so the child follows its group.
    QTest::newRow("skip") << ImportChoice::Skip << QStringList{u"Taken"_s, u"child"_s, u"fresh"_s} << -1 << 7;
    QTest::newRow("rename") << ImportChoice::Rename
                            << QStringList{u"Taken"_s,          u"taken-2"_s, u"child"_s,
                                           u"fresh"_s,          u"FRESH-2"_s, longWord.left(48) + u"-2"_s,
                                           u"Long short name"_s}
                            << 1 << 3;
}

void TestStoreContract::importIssues()
{
    QFETCH(ImportChoice, choice);
    QFETCH(QStringList, hotwords);
    QFETCH(int, childGroup);
    QFETCH(int, skipped);

    addMessage(u"Taken"_s, u"Taken"_s, u"Here before."_s);
    auto message = [](int id, int parent, const QString& shortName, const QString& hotword, const QString& text) {
        return CollectedMessage{id, parent, shortName, hotword, text, {}, {u""_s, u"ok"_s}, {}, u"line %1"_s.arg(id)};
    };
    MessageCollection collection;
    collection.messages = {
        message(1, 0, u"Group"_s, u"taken"_s, u"Group text."_s),
        message(2, 0, u"Fresh"_s, u"fresh"_s, u"A."_s),
        message(3, 0, u"Fresh again"_s, u"FRESH"_s, u"B."_s),
        message(4, 0, u"Long"_s, QString(60, u'w'), u"C."_s),
        message(5, 0, QString(51, u's'), u"Long short name"_s, u"D."_s),
        message(6, 0, u"No text"_s, u"notext"_s, {}),
        message(7, 0, u"No hotword"_s, {}, u"E."_s),
        message(8, 1, {}, u"nodesc"_s, u"F."_s),
        message(9, 1, u"Child"_s, u"child"_s, u"G."_s),
    };
    const int before = count(u"FAQ"_s);
    QCOMPARE(FindImportIssues(*dm, collection).size(), 7);
    QCOMPARE(count(u"FAQ"_s), before);

    const ImportOutcome outcome = ImportMessages(*dm, collection, choice);
    QCOMPARE(outcome.skipped.filter(u"left out, it has no"_s).size(), 3);
    QCOMPARE(outcome.skipped.size(), skipped + outcome.messages);
    QCOMPARE(outcome.keywords, outcome.messages);
    QStringList stored;
    const DataSet rows = select(u"select Hotword from FAQ order by ID"_s);
    for (int row = 0; row < rows.recordCount(); ++row)
        stored << rows.text(row, u"Hotword"_s);
    QCOMPARE(stored, hotwords);
    const int expectedGroup = childGroup < 0 ? 0 : dm->MessagesByHotword(hotwords.at(childGroup)).integer(0, u"ID"_s);
    QCOMPARE(dm->GroupIDOf(dm->MessagesByHotword(u"child"_s).integer(0, u"ID"_s)), expectedGroup);
}

void TestStoreContract::cancelledImportChangesNothing()
{
    MessageCollection collection;
    for (int i = 1; i <= 600; ++i)
        collection.messages.append(
            {i, i > 1 ? 1 : 0, u"Message"_s, u"word%1"_s.arg(i), u"Text"_s, {}, {u"k"_s}, {}, {}});
    int calls = 0;
    QVERIFY_THROWS_EXCEPTION(
        Abort, ImportMessages(*dm, collection, ImportChoice::Skip, [&calls](qsizetype done, qsizetype total) {
            return ++calls < 2 || done == total;
        }));
    QCOMPARE(count(u"FAQ"_s), 0);
    QCOMPARE(count(u"FAQKeywords"_s), 0);
    const ImportOutcome outcome = ImportMessages(*dm, collection, ImportChoice::Skip);
    QCOMPARE(outcome.messages, 600);
    QCOMPARE(outcome.groups, 1);
}

int TestStoreContract::stamp(int id)
{
    return select(u"select Stamp from FAQ where ID = "_s + QString::number(id)).integer(0, u"Stamp"_s);
}

void TestStoreContract::typeText(TdmFAQData& module, int id, const QString& text)
{
    module.PositionOn(id);
    if (!module.EditMessage(id))
        throw Error(u"Message %1 not found"_s.arg(id));
    TdmFAQData::MessageFields fields = module.PendingMessage();
    fields.text = text;
    module.SetPendingMessage(fields);
}

void TestStoreContract::saveComparesTheChangeStamp_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("storedText");
    QTest::newRow("nothing") << QString() << QString() << u"mine"_s;
    QTest::newRow("read by the other") << u"read"_s << QString() << u"mine"_s;
    QTest::newRow("keyword added by the other") << u"keyword"_s << QString() << u"mine"_s;
    QTest::newRow("saved by the other") << u"save"_s << u"changed"_s << u"theirs"_s;
    QTest::newRow("moved by the other") << u"move"_s << u"changed"_s << u"original"_s;
    QTest::newRow("written by another program") << u"sql"_s << u"changed"_s << u"by hand"_s;
    QTest::newRow("deleted by the other") << u"delete"_s << u"deleted"_s << QString();
}

void TestStoreContract::saveComparesTheChangeStamp()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, refusal);
    QFETCH(QString, storedText);
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int id = addMessage(u"Mine"_s, u"mine"_s, u"original"_s);
    typeText(*dm, id, u"mine"_s);

    // A second program on the same database, with its own connection.
    auto other = openModule();
    if (meanwhile == u"read"_s) {
        typeText(*other, id, u"not saved"_s);
        other->CancelMessage();
    } else if (meanwhile == u"keyword"_s) {
        other->PositionOn(id);
        other->Keywords().insert();
        other->Keywords().setFieldValue(u"Keyword"_s, u"theirs"_s);
        other->Keywords().post();
    } else if (meanwhile == u"save"_s) {
        typeText(*other, id, u"theirs"_s);
        QCOMPARE(other->SaveFAQ(), id);
    } else if (meanwhile == u"move"_s) {
        other->UpdateParentID(id, group);
    } else if (meanwhile == u"sql"_s) {
        run(u"update FAQ set Text = 'by hand' where ID = "_s + QString::number(id));
    } else if (meanwhile == u"delete"_s) {
        other->DeleteFAQ(id);
    }
    other.reset();

    QString refused;
    try {
        QCOMPARE(dm->SaveFAQ(), id);
    } catch (const ChangedMeanwhile&) {
        refused = u"changed"_s;
    } catch (const DeletedMeanwhile&) {
        refused = u"deleted"_s;
    }
    QCOMPARE(refused, refusal);
    // A refused save keeps the edit pending with what was typed.
    QCOMPARE(dm->MessagePending(), !refusal.isEmpty());
    if (!refusal.isEmpty())
        QCOMPARE(dm->PendingMessage().text, u"mine"_s);
    const DataSet stored = dm->MessageByID(id);
    QCOMPARE(stored.isEmpty() ? QString() : stored.text(0, u"Text"_s), storedText);
    dm->CancelMessage();
}

void TestStoreContract::everyWriteAdvancesTheStamp()
{
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int id = addMessage(u"A"_s, u"a"_s, u"a"_s);
    int last = stamp(id);
    const auto advanced = [&] {
        const int now = stamp(id);
        const bool up = now > last;
        last = now;
        return up;
    };
    saveEdited(id, [](auto& fields) { fields.notes = u"n"_s; });
    QVERIFY(advanced());
    // Saving the same values again is a write too.
    saveEdited(id, [](auto&) {});
    QVERIFY(advanced());
    dm->UpdateParentID(id, group);
    QVERIFY(advanced());
    run(u"update FAQ set ShortName = 'B' where ID = "_s + QString::number(id));
    QVERIFY(advanced());
    // The stamp belongs to the database: the program can not set it.
    showMessage(id);
    QVERIFY(dm->EditMessage(id));
    QVERIFY_THROWS_EXCEPTION(Error, dm->atFAQ.setFieldValue(u"Stamp"_s, 0));
    dm->CancelMessage();
    // The Message's own saves go on after each other without a refusal.
    for (int i = 0; i < 3; ++i)
        saveEdited(id, [i](auto& fields) { fields.text = QString::number(i); });
    QCOMPARE(dm->MessageByID(id).text(0, u"Text"_s), u"2"_s);
}

void TestStoreContract::editOpensOnTheStoredMessage()
{
    const int id = addMessage(u"A"_s, u"a"_s, u"first"_s);
    // Shown here, then saved by another program: the row read for showing is out of date.
    showMessage(id);
    QCOMPARE(dm->atFAQ.fieldText(u"Text"_s), u"first"_s);
    auto other = openModule();
    typeText(*other, id, u"second"_s);
    other->SaveFAQ();
    QVERIFY(dm->EditMessage(id));
    QCOMPARE(dm->PendingMessage().text, u"second"_s);
    TdmFAQData::MessageFields fields = dm->PendingMessage();
    fields.text = u"third"_s;
    dm->SetPendingMessage(fields);
    QCOMPARE(dm->SaveFAQ(), id);
    QCOMPARE(dm->MessageByID(id).text(0, u"Text"_s), u"third"_s);

    // Gone before the edit starts: nothing becomes pending.
    other->DeleteFAQ(id);
    QVERIFY(!dm->EditMessage(id));
    QVERIFY(!dm->MessagePending());
}

void TestStoreContract::refusedSaveReloadOrKeep_data()
{
    QTest::addColumn<bool>("reload");
    QTest::newRow("reload") << true;
    QTest::newRow("keep editing") << false;
}

void TestStoreContract::refusedSaveReloadOrKeep()
{
    QFETCH(bool, reload);
    const int id = addMessage(u"A"_s, u"a"_s, u"original"_s);
    typeText(*dm, id, u"mine"_s);
    auto other = openModule();
    typeText(*other, id, u"theirs"_s);
    other->SaveFAQ();
    QVERIFY_THROWS_EXCEPTION(ChangedMeanwhile, dm->SaveFAQ());

    if (reload) {
        QVERIFY(dm->ReloadMessage());
        QCOMPARE(dm->PendingMessage().text, u"theirs"_s);
        TdmFAQData::MessageFields fields = dm->PendingMessage();
        fields.notes = u"added to theirs"_s;
        dm->SetPendingMessage(fields);
    } else {
        QVERIFY(dm->KeepEditingOverChange());
        QCOMPARE(dm->PendingMessage().text, u"mine"_s);
    }
    QCOMPARE(dm->SaveFAQ(), id);
    QCOMPARE(dm->MessageByID(id).text(0, u"Text"_s), reload ? u"theirs"_s : u"mine"_s);
    QCOMPARE(dm->NotesOf(id), reload ? u"added to theirs"_s : QString());

    // Taking over one change does not take over the next one.
    typeText(*dm, id, u"mine again"_s);
    typeText(*other, id, u"theirs again"_s);
    other->SaveFAQ();
    QVERIFY_THROWS_EXCEPTION(ChangedMeanwhile, dm->SaveFAQ());
    other->DeleteFAQ(id);
    QVERIFY(!dm->KeepEditingOverChange());
    QVERIFY(!dm->ReloadMessage());
    QVERIFY(!dm->MessagePending());
}

void TestStoreContract::deletedMessageSavedAsNew_data()
{
    QTest::addColumn<bool>("groupDeletedToo");
    QTest::newRow("group kept") << false;
    QTest::newRow("group deleted too") << true;
}

void TestStoreContract::deletedMessageSavedAsNew()
{
    QFETCH(bool, groupDeletedToo);
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int id = addMessage(u"A"_s, u"a"_s, u"original"_s, group, {u"k1"_s, u"k2"_s});
    showMessage(id);
    dm->Attachments().insert();
    dm->Attachments().setFieldValue(u"Filename"_s, u"/srv/a.doc"_s);
    dm->Attachments().setFieldValue(u"PromptToUse"_s, true);
    dm->Attachments().post();
    typeText(*dm, id, u"mine"_s);
    auto other = openModule();
    other->DeleteFAQ(id);
    if (groupDeletedToo)
        other->DeleteFAQ(group);
    QVERIFY_THROWS_EXCEPTION(DeletedMeanwhile, dm->SaveFAQ());

    dm->RestartAsNewMessage();
    QCOMPARE(dm->messageState(), DataSetState::Insert);
    const int copy = dm->SaveFAQ();
    QVERIFY(copy != id);
    const DataSet stored = dm->MessageByID(copy);
    QCOMPARE(stored.text(0, u"Text"_s), u"mine"_s);
    QCOMPARE(stored.text(0, u"Hotword"_s), u"a"_s);
    QCOMPARE(stored.integer(0, u"GroupID"_s), groupDeletedToo ? 0 : group);
    QCOMPARE(Ids(dm->MessagesByKeyword(u"k2"_s)), QList<int>{copy});
    const DataSet attachments = dm->AttachmentsOf(copy);
    QCOMPARE(attachments.recordCount(), 1);
    QCOMPARE(attachments.text(0, u"Filename"_s), u"/srv/a.doc"_s);
    QVERIFY(attachments.boolean(0, u"PromptToUse"_s));
}

void TestStoreContract::newMessageUnderADeletedGroup()
{
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    dm->NewMessage(group);
    dm->SetPendingMessage({u"new"_s, u"New"_s, u"n"_s, {}});
    auto other = openModule();
    other->DeleteFAQ(group);
    QVERIFY_THROWS_EXCEPTION(DeletedMeanwhile, dm->SaveFAQ());
    QCOMPARE(count(u"FAQ"_s), 0);
    QCOMPARE(dm->messageState(), DataSetState::Insert);
    dm->PlaceNewMessageAtTopLevel();
    const int id = dm->SaveFAQ();
    QCOMPARE(dm->GroupIDOf(id), std::optional<int>(0));
}

void TestStoreContract::deleteAndMoveAskTheDatabase_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("delete, nothing meanwhile") << QString() << u"delete"_s << QString();
    QTest::newRow("delete, child added") << u"add child"_s << u"delete"_s << u"children"_s;
    QTest::newRow("delete, child moved in") << u"move child in"_s << u"delete"_s << u"children"_s;
    QTest::newRow("delete, deleted") << u"delete"_s << u"delete"_s << u"deleted"_s;
    QTest::newRow("move, nothing meanwhile") << QString() << u"move"_s << QString();
    QTest::newRow("move, deleted") << u"delete"_s << u"move"_s << u"deleted"_s;
    QTest::newRow("move, target deleted") << u"delete target"_s << u"move"_s << u"deleted"_s;
}

void TestStoreContract::deleteAndMoveAskTheDatabase()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, command);
    QFETCH(QString, refusal);
    const int target = addMessage(u"Target"_s, u"target"_s, u"t"_s);
    const int id = addMessage(u"Leaf"_s, u"leaf"_s, u"l"_s);
    const int elsewhere = addMessage(u"Elsewhere"_s, u"elsewhere"_s, u"e"_s);
    // What this program saw before the other one acted.
    QCOMPARE(dm->CountChildren(id), 0);
    showMessage(id);

    auto other = openModule();
    int child = 0;
    if (meanwhile == u"add child"_s) {
        other->NewMessage(id);
        other->SetPendingMessage({u"child"_s, u"Child"_s, u"c"_s, {}});
        child = other->SaveFAQ();
    } else if (meanwhile == u"move child in"_s) {
        other->UpdateParentID(elsewhere, id);
        child = elsewhere;
    } else if (meanwhile == u"delete"_s) {
        other->DeleteFAQ(id);
    } else if (meanwhile == u"delete target"_s) {
        other->DeleteFAQ(target);
    }
    other.reset();

    QString refused;
    try {
        if (command == u"delete"_s)
            dm->DeleteFAQ(id);
        else
            dm->UpdateParentID(id, target);
    } catch (const HasChildMessages&) {
        refused = u"children"_s;
    } catch (const DeletedMeanwhile&) {
        refused = u"deleted"_s;
    }
    QCOMPARE(refused, refusal);
    const bool deleted = (command == u"delete"_s && refusal.isEmpty()) || meanwhile == u"delete"_s;
    QCOMPARE(dm->MessageByID(id).recordCount(), deleted ? 0 : 1);
    // No Message is left under one that is gone, and none is placed under a gone one.
    if (child)
        QCOMPARE(dm->GroupIDOf(child), std::optional<int>(id));
    if (command == u"move"_s && !deleted)
        QCOMPARE(dm->GroupIDOf(id), std::optional<int>(refusal.isEmpty() ? target : 0));
}

void TestStoreContract::oldDatabaseGetsChangeStamps()
{
    const int group = addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int id = addMessage(u"Old"_s, u"old"_s, u"from an old database"_s, group, {u"kept"_s});
    saveEdited(id, [](auto& fields) { fields.notes = u"old notes"_s; });
    // The database as the program's earlier versions made it.
    if (dm->dialect().engine() == SqlDialect::Engine::PostgreSQL) {
        run(u"drop trigger FAQStamped on FAQ"_s);
        run(u"drop function FAQStamped()"_s);
    } else {
        run(u"drop trigger FAQStamped"_s);
    }
    run(u"alter table FAQ drop column Stamp"_s);
    dm.reset();
    {
        // Two programs starting on it: both open it, one of them upgrades it.
        auto first = std::make_unique<TdmFAQData>(spec);
        auto second = std::make_unique<TdmFAQData>(spec);
        first->OpenDatabase();
        second->OpenDatabase();
        QCOMPARE(first->readOnlyReason(), QString());
        QCOMPARE(second->readOnlyReason(), QString());
    }
    dm = openModule();
    QVERIFY(select(u"select * from FAQ"_s).hasField(u"Stamp"_s));
    QCOMPARE(count(u"FAQ"_s), 2);
    const DataSet stored = dm->MessageByID(id);
    QCOMPARE(stored.text(0, u"Text"_s), u"from an old database"_s);
    QCOMPARE(stored.integer(0, u"GroupID"_s), group);
    QCOMPARE(dm->NotesOf(id), u"old notes"_s);
    QCOMPARE(Ids(dm->MessagesByKeyword(u"kept"_s)), QList<int>{id});

    // The upgraded database refuses a stale save as a new one does.
    typeText(*dm, id, u"mine"_s);
    auto other = openModule();
    typeText(*other, id, u"theirs"_s);
    QCOMPARE(other->SaveFAQ(), id);
    QVERIFY_THROWS_EXCEPTION(ChangedMeanwhile, dm->SaveFAQ());
    QCOMPARE(dm->MessageByID(id).text(0, u"Text"_s), u"theirs"_s);
}

QTEST_GUILESS_MAIN(TestStoreContract)
#include "tst_storecontract.moc"
