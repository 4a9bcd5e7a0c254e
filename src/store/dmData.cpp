#include "store/dmData.h"

#include "settings/filelocations.h"
#include "store/columns.h"
#include "store/databaselock.h"
#include "store/odbcdatasources.h"
#include "store/schema.h"
#include "store/storeerror.h"
#include "util/errors.h"
#include "util/textutils.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

QAtomicInt connectionCounter;

const QString odbcDataSource = u"QuillBay"_s;

// Long enough for another program's or another user's save to finish.
constexpr int busyTimeoutMs = 5000;
// Opening gives up this much sooner on a file that another program keeps locked.
constexpr int openingBusyTimeoutMs = 1500;

// SQLite's primary result codes (the low byte of an extended code).
enum SqliteCode { SqliteError = 1, SqliteBusy = 5, SqliteLocked = 6, SqliteCorrupt = 11, SqliteNotADatabase = 26 };

QString DatabaseFileNamed(const QString& path)
{
    return u"The Tolvane Quillbay database file "_s + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString WithDetail(const QString& message, const QString& detail)
{
    return detail.trimmed().isEmpty() ? message : message + u"\n\n"_s + detail.trimmed();
}

[[noreturn]] void RaiseOpenFailure(const QString& path, const QSqlError& error)
{
    QString what;
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case SqliteCorrupt:
    case SqliteNotADatabase:
        what = u" is damaged or is not a Tolvane Quillbay database, so it can not be opened. "
               "The file has not been changed."_s;
        break;
    case SqliteBusy:
    case SqliteLocked:
        what = u" is in use by another program, which keeps it locked. Please close that program "
               "and start Tolvane Quillbay again."_s;
        break;
    default: what = u" can not be opened."_s;
    }
    throw DatabaseUnusable(WithDetail(DatabaseFileNamed(path) + what, error.text()));
}

// Reads one Message; the database's error when that fails.
std::optional<QSqlError> FirstMessageUnreadable(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (query.exec(SqlDialect::forDatabase(db).translate(u"select top 1 ID from FAQ"_s)))
        return std::nullopt;
    return query.lastError();
}

bool DatabaseFileWritable(const QFileInfo& file)
{
    // SQLite keeps its journal and shared-memory files beside the database.
    return QFileInfo(file.absolutePath()).isWritable() && (!file.exists() || file.isWritable());
}

// Switches a writable database to write-ahead logging, so that readers and one writer
// work at the same time; the mode stays with the file. While another program has the file
// open the switch waits for a later start.
void UseWriteAheadLog(QSqlDatabase& db, const QString& path)
{
    QSqlQuery query(db);
    if (!query.exec(u"pragma journal_mode"_s) || !query.next())
        RaiseOpenFailure(path, query.lastError());
    if (query.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) == 0)
        return;
    query.finish();
    if (!query.exec(u"pragma journal_mode = wal"_s)) {
        const int code = query.lastError().nativeErrorCode().toInt() & 0xff;
        if (code != SqliteBusy && code != SqliteLocked)
            RaiseOpenFailure(path, query.lastError());
    }
}

QSqlQuery Prepared(QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw StoreError(query.lastError().text());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        RaiseWhenBusy(db, query.lastError());
        throw StoreError(query.lastError().text());
    }
    return query;
}

} // namespace

ConnectionSpec DefaultConnectionSpec()
{
    ConnectionSpec spec;
    if (OdbcDataSourceExists(odbcDataSource)) {
        spec.kind = ConnectionSpec::Kind::Odbc;
        spec.database = odbcDataSource;
    } else {
        spec.kind = ConnectionSpec::Kind::Sqlite;
        spec.database = DatabaseFilePath();
        spec.createWithExamples = true;
    }
    return spec;
}

DataSet SqlCommand::execute()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        throw StoreError(u"The database connection is not open."_s);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(SqlDialect::forDatabase(db).translate(commandText)))
        throw StoreError(query.lastError().text());
    if (!query.isSelect())
        return {};
    const QSqlRecord record = query.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    QList<QVariantList> rows;
    while (query.next()) {
        QVariantList row;
        row.reserve(record.count());
        for (int i = 0; i < record.count(); ++i)
            row << query.value(i);
        rows << std::move(row);
    }
    if (query.lastError().isValid())
        throw StoreError(query.lastError().text());
    return DataSet(std::move(names), std::move(rows));
}

TdmFAQData::TdmFAQData(const ConnectionSpec& spec, QObject* parent)
    : QObject(parent)
    , atFAQ(u"atFAQ"_s, u"FAQ"_s, {u"Text"_s, u"Hotword"_s, u"GroupID"_s, u"ShortName"_s, u"ID"_s, u"Notes"_s})
    , atKeywords(u"atKeywords"_s, u"FAQKeywords"_s, {u"FAQID"_s, u"Keyword"_s, u"KeywordID"_s})
    , atFAQAction(u"atFAQAction"_s, u"FAQAction"_s, {})
    , atAttachments(u"atAttachments"_s, u"FAQAttachments"_s, {u"ID"_s, u"FAQID"_s, u"Filename"_s, u"PromptToUse"_s})
    , aspFullText(u"aspFullText"_s, u"fulltext"_s, {u"[search term:]"_s}, 50)
    , aspTextByHotword(u"aspTextByHotword"_s, u"TextByHotWord"_s, {u"[Hotword:]"_s})
    , aspTextByID(u"aspTextByID"_s, u"TextByID"_s, {u"[ID:]"_s})
    , aspTextbyKeyword(u"aspTextbyKeyword"_s, u"FAQbyKeyword"_s, {u"[keyword:]"_s})
    , aspCountByParentID(u"aspCountByParentID"_s, u"CountByParentID"_s, {u"[groupid:]"_s})
    , aspFAQsByParentID(u"aspFAQsByParentID"_s, u"FAQDescandIDByParentID"_s, {u"[parentid:]"_s})
    , aspAttachmentsByID(u"aspAttachmentsByID"_s, u"AttachmentsByID"_s, {u"[FAQID:]"_s})
    , aspUpdateParentID(u"aspUpdateParentID"_s, u"updateparentid"_s, {u"[newparentid:]"_s, u"[id:]"_s})
    , m_connectionName(u"quillbay-%1"_s.arg(connectionCounter.fetchAndAddRelaxed(1) + 1))
{
    setObjectName(u"dmFAQData"_s);
    try {
        openConnection(spec);
    } catch (...) {
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }

    atFAQ.setKeyField(u"ID"_s);
    atKeywords.setKeyField(u"KeywordID"_s);
    atAttachments.setKeyField(u"ID"_s);
    atKeywords.setMaster(&atFAQ, u"FAQID"_s, u"ID"_s);
    atAttachments.setMaster(&atFAQ, u"FAQID"_s, u"ID"_s);
    for (DataTable* table : {&atFAQ, &atKeywords, &atFAQAction, &atAttachments}) {
        table->setConnection(m_connectionName);
        table->setReadOnlyReason(m_readOnlyReason);
    }
    for (SavedQuery* query : savedQueries())
        query->setConnection(m_connectionName);
    adoCommand.setConnection(m_connectionName);

    atFAQ.setPostErrorHandler([this](const QString& text) { atFAQPostError(text); });
    connect(&atFAQ, &DataTable::stateChanged, this,
            [this](DataSetState state) { Q_EMIT dsFAQStateChange(int(state)); });
    for (DataTable* detail : {&atKeywords, &atAttachments}) {
        connect(detail, &DataTable::stateChanged, this,
                [this](DataSetState state) { Q_EMIT dsKeywordsStateChange(int(state)); });
    }
}

TdmFAQData::~TdmFAQData()
{
    for (SavedQuery* query : savedQueries())
        query->setConnection({});
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QList<SavedQuery*> TdmFAQData::savedQueries()
{
    return {&aspFullText,        &aspTextByHotword,  &aspTextByID,        &aspTextbyKeyword,
            &aspCountByParentID, &aspFAQsByParentID, &aspAttachmentsByID, &aspUpdateParentID};
}

const SqlDialect& TdmFAQData::dialect() const
{
    return m_dialect;
}

QString TdmFAQData::databaseLocation() const
{
    const QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (db.driverName() == u"QODBC"_s)
        return u"ODBC data source "_s + db.databaseName();
    return QDir::toNativeSeparators(m_databaseFile);
}

void TdmFAQData::openConnection(const ConnectionSpec& spec)
{
    if (spec.kind == ConnectionSpec::Kind::Sqlite)
        openSqlite(spec);
    else
        openOdbc(spec);
}

void TdmFAQData::openSqlite(const ConnectionSpec& spec)
{
    const QString& path = spec.database;
    m_databaseFile = path;
    const QFileInfo file(path);
    if (file.isDir())
        throw DatabaseUnusable(DatabaseFileNamed(path) + u" is a folder, not a database."_s);
    if (file.exists() && !file.isReadable())
        throw DatabaseUnusable(DatabaseFileNamed(path) + u" can not be read: you have no permission to read it."_s);
    const bool readOnly = !DatabaseFileWritable(file);
    if (readOnly && file.size() == 0) {
        throw DatabaseUnusable(DatabaseFileNamed(path)
                               + u" can not be set up: the file or its folder is write-protected."_s);
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connectionName);
    db.setDatabaseName(path);
    QStringList options{u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(openingBusyTimeoutMs)};
    if (readOnly) {
        options << u"QSQLITE_OPEN_READONLY"_s;
        // A write-ahead-logged file is read through a shared-memory file beside it; where
        // none exists and none can be made, the file is read as it stands.
        if (!QFileInfo(file.absolutePath()).isWritable() && !QFileInfo::exists(path + u"-shm"_s)) {
            options << u"QSQLITE_OPEN_URI"_s;
            db.setDatabaseName(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded)
                               + u"?immutable=1"_s);
        }
        m_readOnlyReason = DatabaseFileNamed(path)
            + u" can only be read: the file or its folder is write-protected. Changes can not "
              "be saved; searching and sending still work."_s;
    }
    db.setConnectOptions(options.join(u';'));
    if (!db.open())
        RaiseOpenFailure(path, db.lastError());

    // The first read tells a damaged or locked file from a usable one.
    QSqlQuery probe(db);
    if (!probe.exec(u"select count(*) from sqlite_master"_s) || !probe.next())
        RaiseOpenFailure(path, probe.lastError());
    const bool empty = probe.value(0).toInt() == 0;
    probe.finish();
    // From here on another program's write is waited for as long as at any save (a second
    // start may be filling a new file).
    connectionOpened(db);
    if (!readOnly && empty) {
        try {
            EnsureEmbeddedSchema(db, spec.createWithExamples);
        } catch (const Error& e) {
            throw DatabaseUnusable(WithDetail(DatabaseFileNamed(path) + u" can not be set up."_s, e.text()));
        }
    }
    if (const auto error = FirstMessageUnreadable(db)) {
        if ((error->nativeErrorCode().toInt() & 0xff) != SqliteError)
            RaiseOpenFailure(path, *error);
        throw DatabaseUnusable(WithDetail(DatabaseFileNamed(path)
                                              + u" has no table of Messages, so it is not a Tolvane Quillbay database. "
                                                "The file has not been changed."_s,
                                          error->text()));
    }
    if (!readOnly)
        UseWriteAheadLog(db, path);
}

void TdmFAQData::openOdbc(const ConnectionSpec& spec)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QODBC"_s, m_connectionName);
    db.setDatabaseName(spec.database);
    db.setConnectOptions(u"SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_WRITE"_s);
    const QString source = u"The ODBC data source "_s + spec.database;
    if (!db.open()) {
        const QString driver = MissingOdbcDriver(spec.database);
        const QString message = driver.isEmpty()
            ? QString(source + u" can not be opened."_s)
            : QString(source + u" can not be opened: its driver "_s + driver + u" is not installed."_s);
        throw DatabaseUnusable(WithDetail(message, db.lastError().text()));
    }
    if (const auto error = FirstMessageUnreadable(db)) {
        throw DatabaseUnusable(
            WithDetail(source
                           + u" was reached, but its Messages can not be read: its database may be "
                             "damaged, locked by another program, or not a Tolvane Quillbay database."_s,
                       error->text()));
    }
    connectionOpened(db);
}

void TdmFAQData::connectionOpened(QSqlDatabase& db)
{
    m_dialect = SqlDialect::forDatabase(db);
    if (m_dialect.engine() == SqlDialect::Engine::SQLite) {
        QSqlQuery query(db);
        if (!query.exec(u"pragma busy_timeout = %1"_s.arg(busyTimeoutMs)))
            throw StoreError(query.lastError().text());
    }
    for (SavedQuery* query : savedQueries())
        query->setConnection(m_connectionName);
}

void TdmFAQData::refuseWhenReadOnly() const
{
    if (!m_readOnlyReason.isEmpty())
        throw StoreError(m_readOnlyReason);
}

void TdmFAQData::OpenDatabase()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        if (!db.open())
            throw StoreError(db.lastError().text());
        connectionOpened(db);
    }
    CheckChangeStamps();
    CheckNotesColumn();
    atFAQ.open();
    atKeywords.open();
    atAttachments.open();
}

bool TdmFAQData::HasNotesColumn()
{
    adoCommand.commandText = u"select top 1 * from FAQ"_s;
    const DataSet columns = adoCommand.execute();
    return columns.hasField(u"Notes"_s);
}

void TdmFAQData::CheckChangeStamps()
{
    if (!atFAQ.versionField().isEmpty() || atFAQ.isOpen())
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    // A table of Messages that lacks more than this is no older version of ours: it stays
    // as it is, and reading it fails with its own message.
    if (!QSqlQuery(db).exec(u"select ID, Hotword, GroupID from FAQ where 1 = 0"_s))
        return;
    bool stamped = false;
    try {
        stamped = HasChangeStamps(db);
        if (!stamped && m_readOnlyReason.isEmpty()) {
            AddChangeStamps(db, m_dialect);
            stamped = true;
        }
    } catch (const Error& e) {
        // Saving without stamps could overwrite another user's change unseen.
        m_readOnlyReason = WithDetail(
            u"The database "_s + databaseLocation()
                + u" can only be read: it lacks the change stamps that keep two users from overwriting each "
                  "other's changes, and they could not be added. Please ask its administrator to start Tolvane "
                  "Quillbay once as the owner of its tables. Searching and sending still work."_s,
            e.text());
        for (DataTable* table : {&atFAQ, &atKeywords, &atFAQAction, &atAttachments})
            table->setReadOnlyReason(m_readOnlyReason);
    }
    if (stamped)
        atFAQ.setVersionField(u"Stamp"_s);
}

void TdmFAQData::CheckNotesColumn()
{
    if (HasNotesColumn())
        return;
    adoCommand.commandText = u"alter table FAQ add Notes Memo"_s;
    adoCommand.execute();
    throw SchemaUpgraded(u"The database has been altered to allow new functions to be added to Tolvane Quillbay. "
                         "None of your data has been changed or lost.  When you run this program again, the "
                         "program will be fully functional."_s
                         + u"\r\n"_s + u"\r\n"_s + u"Press OK to close Tolvane Quillbay"_s);
}

void TdmFAQData::NewMessage(int groupID)
{
    atFAQ.insert();
    atFAQ.setFieldValue(u"GroupID"_s, groupID);
    m_keywords.stage();
    m_attachments.stage();
}

std::optional<int> TdmFAQData::CurrentMessageID() const
{
    if (atFAQ.state() == DataSetState::Insert || atFAQ.eof())
        return std::nullopt;
    return atFAQ.fieldValue(u"ID"_s).toInt();
}

bool TdmFAQData::EditMessage(int messageID)
{
    // Read afresh: the row on show may be older than what another program has saved since.
    if (!MessagePending())
        PositionOn(messageID);
    if (CurrentMessageID() != messageID)
        return false;
    atFAQ.edit();
    return true;
}

bool TdmFAQData::ReloadMessage()
{
    if (atFAQ.state() != DataSetState::Edit)
        return false;
    const int messageID = atFAQ.fieldValue(u"ID"_s).toInt();
    CancelMessage();
    return EditMessage(messageID);
}

bool TdmFAQData::KeepEditingOverChange()
{
    return atFAQ.adoptStoredVersion();
}

void TdmFAQData::RestartAsNewMessage()
{
    if (atFAQ.state() != DataSetState::Edit)
        throw Error(u"No Message is being edited."_s);
    const MessageFields fields = PendingMessage();
    int groupID = atFAQ.fieldValue(u"GroupID"_s).toInt();
    QStringList keywords;
    for (int row = 0; row < m_keywords.recordCount(); ++row)
        keywords << m_keywords.valueAt(row, u"Keyword"_s).toString();
    QList<std::pair<QVariant, QVariant>> attachments;
    for (int row = 0; row < m_attachments.recordCount(); ++row) {
        attachments.append({m_attachments.valueAt(row, u"Filename"_s), m_attachments.valueAt(row, u"PromptToUse"_s)});
    }
    // Under a group that is gone too it could be reached from no tree.
    if (groupID != 0 && !GroupIDOf(groupID))
        groupID = 0;
    CancelMessage();
    NewMessage(groupID);
    SetPendingMessage(fields);
    for (const QString& keyword : std::as_const(keywords)) {
        m_keywords.insert();
        m_keywords.setFieldValue(u"Keyword"_s, keyword);
        m_keywords.post();
    }
    for (const auto& [file, prompt] : std::as_const(attachments)) {
        m_attachments.insert();
        m_attachments.setFieldValue(u"Filename"_s, file);
        m_attachments.setFieldValue(u"PromptToUse"_s, prompt);
        m_attachments.post();
    }
}

bool TdmFAQData::MessagePending() const
{
    return atFAQ.state() == DataSetState::Edit || atFAQ.state() == DataSetState::Insert;
}

DataSetState TdmFAQData::messageState() const
{
    return atFAQ.state();
}

TdmFAQData::MessageFields TdmFAQData::PendingMessage() const
{
    return {atFAQ.fieldText(u"Hotword"_s), atFAQ.fieldText(u"ShortName"_s), atFAQ.fieldText(u"Text"_s),
            atFAQ.fieldText(u"Notes"_s)};
}

void TdmFAQData::SetPendingMessage(const MessageFields& fields)
{
    atFAQ.setFieldValue(u"Hotword"_s, fields.hotword);
    atFAQ.setFieldValue(u"ShortName"_s, fields.shortName);
    atFAQ.setFieldValue(u"Text"_s, fields.text);
    atFAQ.setFieldValue(u"Notes"_s, fields.notes);
}

void TdmFAQData::PlaceNewMessageAtTopLevel()
{
    if (atFAQ.state() != DataSetState::Insert)
        throw Error(u"No new Message is pending."_s);
    atFAQ.setFieldValue(u"GroupID"_s, 0);
}

void TdmFAQData::CancelMessage()
{
    atFAQ.cancel();
    m_keywords.unstage();
    m_attachments.unstage();
}

int TdmFAQData::SaveFAQ()
{
    if (!MessagePending())
        return atFAQ.fieldValue(u"ID"_s).toInt();
    const QString hotword = atFAQ.fieldText(u"Hotword"_s);
    if (hotword.size() > Column::HotwordLength) {
        throw HotwordTooLong(
            u"The HotWord may have at most %1 characters; this one has %2. Please shorten it and try again."_s
                .arg(Column::HotwordLength)
                .arg(hotword.size()));
    }
    if (atFAQ.state() == DataSetState::Insert)
        return SaveNewMessage();
    atFAQ.post();
    return atFAQ.postedKey().toInt();
}

int TdmFAQData::SaveNewMessage()
{
    // Rows being typed belong to what is saved, and stay kept when the save is refused.
    m_keywords.post();
    m_attachments.post();
    const MessageFields typed = PendingMessage();
    const QVariant groupID = atFAQ.fieldValue(u"GroupID"_s);
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    // The group is read inside the transaction, so it takes the write lock first.
    BeginWriteTransaction(db);
    m_saveTransactionOpen = true;
    int id = 0;
    try {
        // Placed under a Message that is gone, it could be reached from no tree.
        if (groupID.toInt() != 0 && !GroupIDOf(groupID.toInt()))
            throw DeletedMeanwhile(
                u"The Message that this one was to be placed in has been deleted by someone else."_s);
        atFAQ.post();
        id = atFAQ.postedKey().toInt();
        m_keywords.storeStaged();
        m_attachments.storeStaged();
        if (!db.commit())
            throw StoreError(db.lastError().text());
        m_saveTransactionOpen = false;
    } catch (...) {
        const bool messagePosted = atFAQ.state() != DataSetState::Insert;
        if (m_saveTransactionOpen)
            db.rollback();
        m_saveTransactionOpen = false;
        // The Message was posted before a keyword or attachment was refused: nothing of it
        // stays, and it waits again with everything typed.
        if (messagePosted) {
            atFAQ.refresh();
            atFAQ.insert();
            atFAQ.setFieldValue(u"GroupID"_s, groupID);
            SetPendingMessage(typed);
        }
        throw;
    }
    m_keywords.unstage();
    m_attachments.unstage();
    return id;
}

std::optional<TdmFAQData::HotwordOwner> TdmFAQData::OtherOwnerOfHotword(const QString& hotword)
{
    const QVariant ownID = atFAQ.state() == DataSetState::Edit ? atFAQ.fieldValue(u"ID"_s) : QVariant();
    const DataSet rows = MessagesByHotword(hotword);
    for (int row = 0; row < rows.recordCount(); ++row) {
        if (ownID.isNull() || rows.integer(row, u"ID"_s) != ownID.toInt())
            return HotwordOwner{rows.integer(row, u"ID"_s), rows.text(row, u"ShortName"_s)};
    }
    return std::nullopt;
}

void TdmFAQData::atFAQPostError(const QString& databaseText)
{
    Q_UNUSED(databaseText);
    // Some engines refuse every further statement of a transaction after a refusal.
    if (m_saveTransactionOpen) {
        QSqlDatabase::database(m_connectionName, false).rollback();
        m_saveTransactionOpen = false;
    }
    // Any other refusal goes on as a StoreError with the database's own reason.
    const auto owner = OtherOwnerOfHotword(atFAQ.fieldText(u"Hotword"_s));
    if (!owner)
        return;
    throw HotwordTaken(u"An error occurred while trying to save your Message.  Please ensure the HotWord you are "
                       "using is unique and then try again."_s,
                       owner->id, owner->shortName);
}

QList<TdmFAQData::HotwordEntry> TdmFAQData::HotwordList()
{
    adoCommand.commandText = u"select hotword, shortname from faq order by hotword"_s;
    const DataSet rows = adoCommand.execute();
    QList<HotwordEntry> entries;
    entries.reserve(rows.recordCount());
    for (int row = 0; row < rows.recordCount(); ++row)
        entries.append({rows.text(row, u"hotword"_s), rows.text(row, u"shortname"_s)});
    return entries;
}

QList<TdmFAQData::UsageCount> TdmFAQData::UsageReport()
{
    adoCommand.commandText = QStringList{
        u"SELECT shortname, count(*) AS \"Count\""_s,
        u"FROM faq, faqaction"_s,
        u"WHERE faq.id=faqaction.faqid"_s,
        u"AND Action=\"Used\""_s,
        u"GROUP BY shortname "_s,
        u"ORDER BY \"Count\" DESC"_s,
    }.join(u"\r\n"_s);
    const DataSet rows = adoCommand.execute();
    // Engines differ in the case of the names they report; the columns are read by position.
    const QStringList& columns = rows.fieldNames();
    QList<UsageCount> counts;
    counts.reserve(rows.recordCount());
    for (int row = 0; row < rows.recordCount(); ++row)
        counts.append({rows.text(row, columns.value(0)), rows.integer(row, columns.value(1))});
    return counts;
}

DataSet TdmFAQData::ChildrenOf(int groupID)
{
    return aspFAQsByParentID.openWith(u"[parentid:]"_s, groupID);
}

int TdmFAQData::CountChildren(int messageID)
{
    const DataSet& rows = aspCountByParentID.openWith(u"[groupid:]"_s, messageID);
    return rows.recordCount() == 1 ? rows.integer(0, u"count"_s) : -1;
}

DataSet TdmFAQData::MessageByID(int messageID)
{
    return aspTextByID.openWith(u"[ID:]"_s, messageID);
}

DataSet TdmFAQData::MessagesByHotword(const QString& hotword)
{
    return aspTextByHotword.openWith(u"[hotword:]"_s, hotword);
}

DataSet TdmFAQData::MessagesByKeyword(const QString& keyword)
{
    return aspTextbyKeyword.openWith(u"[keyword:]"_s, keyword);
}

DataSet TdmFAQData::MessagesByFullText(const QString& term)
{
    return aspFullText.openWith(u"[search term:]"_s, term);
}

DataSet TdmFAQData::AttachmentsOf(int messageID)
{
    return aspAttachmentsByID.openWith(u"[FAQID:]"_s, messageID);
}

QString TdmFAQData::NotesOf(int messageID)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    if (!query.prepare(u"select Notes from FAQ where ID = ?"_s))
        throw StoreError(query.lastError().text());
    query.addBindValue(messageID);
    if (!query.exec())
        throw StoreError(query.lastError().text());
    return query.next() ? query.value(0).toString() : QString();
}

std::optional<int> TdmFAQData::GroupIDOf(int messageID)
{
    const DataSet rows = MessageByID(messageID);
    if (rows.isEmpty())
        return std::nullopt;
    return rows.integer(0, u"GroupID"_s);
}

void TdmFAQData::PositionOn(int messageID)
{
    atFAQ.setFilter(u"id = "_s + QString::number(messageID));
    atFAQ.setFiltered(true);
}

void TdmFAQData::DeleteFAQ(int messageID)
{
    refuseWhenReadOnly();
    PositionOn(messageID);
    atFAQ.cancel();
    // Children are looked for in the deleting statement itself, so that one added by another
    // user up to that moment keeps the Message.
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery query
        = Prepared(db, u"delete from FAQ where ID = ? and not exists (select 1 from FAQ c where c.GroupID = ?)"_s,
                   {messageID, messageID});
    const int deleted = query.numRowsAffected();
    query.finish();
    atFAQ.refresh();
    if (deleted > 0)
        return;
    if (!atFAQ.eof()) {
        throw HasChildMessages(u"The Message %1 has Messages under it, which must be deleted first."_s.arg(messageID));
    }
    throw DeletedMeanwhile(u"The Message %1 no longer exists; another user may have deleted it."_s.arg(messageID));
}

void TdmFAQData::UpdateParentID(int messageID, int newGroupID)
{
    refuseWhenReadOnly();
    if (newGroupID != 0 && !GroupIDOf(newGroupID)) {
        throw DeletedMeanwhile(u"The Message it was to be placed in has been deleted by someone else, so "
                               "nothing was moved."_s);
    }
    SavedQuery& query = aspUpdateParentID;
    query.close();
    if (query.findParameter(u"[newparentid:]"_s).isEmpty() || query.findParameter(u"[id:]"_s).isEmpty())
        RaiseParameterNotFound(u"id: or newparentid:"_s, query.componentName());
    query.setParameter(u"[newparentid:]"_s, newGroupID);
    query.setParameter(u"[id:]"_s, messageID);
    query.execute();
    if (query.rowsAffected() == 0)
        throw DeletedMeanwhile(u"This Message has been deleted by someone else, so it can not be moved."_s);
}

QList<TdmFAQData::OutlineEntry> TdmFAQData::MessageOutline()
{
    adoCommand.commandText = u"select ID, GroupID, ShortName, Hotword from FAQ order by ShortName"_s;
    const DataSet rows = adoCommand.execute();
    QList<OutlineEntry> entries;
    entries.reserve(rows.recordCount());
    for (int row = 0; row < rows.recordCount(); ++row) {
        entries.append({rows.integer(row, u"ID"_s), rows.integer(row, u"GroupID"_s), rows.text(row, u"ShortName"_s),
                        rows.text(row, u"Hotword"_s)});
    }
    return entries;
}

QString TdmFAQData::CopyHotword(const QString& hotword)
{
    // Compared without regard to case, as strictly as any engine's unique index does.
    QSet<QString> taken;
    for (const HotwordEntry& entry : HotwordList())
        taken.insert(entry.hotword.toLower());
    for (int n = 1;; ++n) {
        const QString candidate = HotwordWithSuffix(hotword, n == 1 ? u"-copy"_s : u"-copy"_s + QString::number(n));
        if (!taken.contains(candidate.toLower()))
            return candidate;
    }
}

int TdmFAQData::DuplicateMessage(int messageID)
{
    refuseWhenReadOnly();
    const DataSet rows = MessageByID(messageID);
    if (rows.recordCount() != 1)
        throw StoreError(u"The Message %1 no longer exists; another user may have deleted it."_s.arg(messageID));
    const QString hotword = CopyHotword(rows.text(0, u"Hotword"_s));
    const QString notes = NotesOf(messageID);
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        throw StoreError(db.lastError().text());
    try {
        Prepared(db, u"insert into FAQ (ShortName, Hotword, Text, GroupID, Notes) values (?, ?, ?, ?, ?)"_s,
                 {rows.text(0, u"ShortName"_s), hotword, rows.text(0, u"Text"_s), rows.integer(0, u"GroupID"_s),
                  notes.isEmpty() ? QVariant() : QVariant(notes)});
        // The Hotword is unique, so it finds the copy on every engine.
        QSqlQuery inserted = Prepared(db, u"select ID from FAQ where Hotword = ?"_s, {hotword});
        if (!inserted.next())
            throw StoreError(u"The database did not keep the copy of the Message."_s);
        const int copyID = inserted.value(0).toInt();
        inserted.finish();
        const QString copy = QString::number(copyID);
        Prepared(db,
                 u"insert into FAQKeywords (FAQID, Keyword) select "_s + copy
                     + u", Keyword from FAQKeywords where FAQID = ?"_s,
                 {messageID});
        Prepared(db,
                 u"insert into FAQAttachments (FAQID, Filename, PromptToUse) select "_s + copy
                     + u", Filename, PromptToUse from FAQAttachments where FAQID = ?"_s,
                 {messageID});
        if (!db.commit())
            throw StoreError(db.lastError().text());
        return copyID;
    } catch (...) {
        db.rollback();
        throw;
    }
}
