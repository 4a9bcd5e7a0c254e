#include "app/importexport.h"

#include "dialogs/fRestoreBackup.h"
#include "exchange/exchangeformats.h"
#include "platform/platform.h"
#include "store/backups.h"
#include "store/dmData.h"
#include "store/messageexchange.h"
#include "store/storeerror.h"
#include "util/connectguarded.h"
#include "util/errors.h"
#include "util/interaction.h"

#include <QWidget>

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

const QString importFilter = u"Message files|*.csv;*.json;*.yml;*.yaml|CSV files|*.csv|JSON files|*.json"
                             "|Espanso match files|*.yml;*.yaml|All Files|*.*"_s;
const QString exportFilter = u"CSV files|*.csv|JSON files|*.json"_s;

// Longest list of lines a box shows before it says how many more there are.
constexpr qsizetype listedLines = 15;

QString Listed(const QStringList& lines)
{
    QStringList shown = lines.mid(0, listedLines);
    if (lines.size() > listedLines)
        shown.append(u"... and %1 more."_s.arg(lines.size() - listedLines));
    return shown.join(u"\r\n"_s);
}

QString Counted(qsizetype count, const QString& one, const QString& many)
{
    return QString::number(count) + u' ' + (count == 1 ? one : many);
}

QString Totals(qsizetype messages, qsizetype groups, qsizetype keywords, qsizetype attachments)
{
    return Counted(messages, u"Message"_s, u"Messages"_s) + u" ("_s + Counted(groups, u"group"_s, u"groups"_s)
        + u"), "_s + Counted(keywords, u"keyword"_s, u"keywords"_s) + u" and "_s
        + Counted(attachments, u"attachment"_s, u"attachments"_s);
}

QString Section(const QString& heading, const QStringList& lines)
{
    return lines.isEmpty() ? QString() : u"\r\n\r\n"_s + heading + u"\r\n"_s + Listed(lines);
}

// Asks what becomes of Messages that a suffix or a cut can mend; nullopt: do not import.
std::optional<ImportChoice> AskImportChoice(Interaction& boxes, const QList<ImportIssue>& issues, qsizetype total)
{
    QStringList lines;
    bool mendable = false;
    for (const ImportIssue& issue : issues) {
        mendable = mendable || issue.mendable;
        lines.append((issue.origin.isEmpty() ? QString() : issue.origin + u": "_s) + u"Hotword \""_s + issue.hotword
                     + u"\": "_s + issue.reason + u'.');
    }
    if (!mendable)
        return ImportChoice::Skip;
    const QString text
        = u"%1 of the %2 Messages in the file cannot be imported as they stand:"_s.arg(issues.size()).arg(total)
        + u"\r\n"_s + Listed(lines) + u"\r\n\r\n"_s
        + u"Skip them, or import them with a suffix such as \"-2\" added to a taken or too long Hotword "
          "(and a too long short description cut)? Messages without a Hotword, a short description or "
          "text are always skipped."_s;
    switch (boxes.choose(text, {u"&Skip Them"_s, u"&Import with a Suffix"_s, u"Cancel"_s})) {
    case 0: return ImportChoice::Skip;
    case 1: return ImportChoice::Rename;
    default: return std::nullopt;
    }
}

} // namespace

ImportExport::ImportExport(TdmFAQData& store, Interaction& boxes, DateFormats& dates, QWidget& window)
    : QObject(&window)
    , m_store(store)
    , m_boxes(boxes)
    , m_dates(dates)
    , m_window(window)
{ }

void ImportExport::ImportFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    MessageCollection collection;
    try {
        m_boxes.setBusyCursor(true);
        collection = ReadCollectionFile(path,
                                        TokenDates{[this](QDate date) { return m_dates.shortDate(date); },
                                                   [this](QTime time) { return m_dates.longTime(time); }});
        m_boxes.setBusyCursor(false);
    } catch (const FormatError& e) {
        m_boxes.setBusyCursor(false);
        throw Error(u"Nothing was imported from %1.\r\n%2"_s.arg(name, e.text()));
    } catch (...) {
        m_boxes.setBusyCursor(false);
        throw;
    }
    const std::optional<ImportChoice> choice
        = AskImportChoice(m_boxes, FindImportIssues(m_store, collection), collection.messages.size());
    if (!choice)
        return;

    // An import can always be undone by restoring the copy made just before it.
    if (DatabaseBackups backups(m_store); backups.available() && m_store.readOnlyReason().isEmpty()) {
        try {
            backups.MakeBackup(BackupKind::BeforeImport, m_clock());
        } catch (const StoreError& e) {
            throw Error(u"Nothing was imported from %1: the backup before the import could not be made.\r\n%2"_s.arg(
                name, e.text()));
        }
    }

    QProgressDialog progress(u"Importing Messages from %1..."_s.arg(name), u"Cancel"_s, 0,
                             int(collection.messages.size()), &m_window);
    progress.setObjectName(u"dlgImportProgress"_s);
    progress.setWindowTitle(ApplicationTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    ImportOutcome outcome;
    try {
        outcome = ImportMessages(m_store, collection, *choice, [&progress](qsizetype done, qsizetype) {
            progress.setValue(int(done));
            return !progress.wasCanceled();
        });
    } catch (const StoreError& e) {
        throw Error(u"Nothing was imported from %1.\r\n%2"_s.arg(name, e.text()));
    }
    progress.reset();
    Q_EMIT messagesImported();
    m_boxes.showMessage(u"Imported from %1: %2."_s.arg(
                            name, Totals(outcome.messages, outcome.groups, outcome.keywords, outcome.attachments))
                        + Section(u"Left out:"_s, outcome.skipped) + Section(u"Changed:"_s, outcome.changed)
                        + Section(u"Turned into tokens of this program:"_s, collection.converted)
                        + Section(u"Kept as plain text or left out by the reader:"_s, collection.remarks));
}

void ImportExport::ExportFile(const QString& path)
{
    m_boxes.setBusyCursor(true);
    MessageCollection collection;
    try {
        collection = ReadAllMessages(m_store);
        WriteCollectionFile(path, collection);
    } catch (...) {
        m_boxes.setBusyCursor(false);
        throw;
    }
    m_boxes.setBusyCursor(false);
    QSet<int> groups;
    qsizetype keywords = 0;
    qsizetype attachments = 0;
    for (const CollectedMessage& message : std::as_const(collection.messages)) {
        if (message.parentId != 0)
            groups.insert(message.parentId);
        keywords += message.keywords.size();
        attachments += message.attachments.size();
    }
    m_boxes.showMessage(u"Exported to %1: %2."_s.arg(
        QFileInfo(path).fileName(), Totals(collection.messages.size(), groups.size(), keywords, attachments)));
}

void ImportExport::actImportExecute()
{
    if (const std::optional<QString> path = m_boxes.openFileName(QDir::homePath(), importFilter))
        ImportFile(*path);
}

void ImportExport::actExportExecute()
{
    if (const std::optional<QString> path = m_boxes.saveFileName(QDir::homePath(), exportFilter))
        ExportFile(*path);
}

void ImportExport::actRestoreBackupExecute()
{
    const DatabaseBackups backups(m_store);
    if (!backups.available()) {
        m_boxes.showMessage(u"The Messages are kept in the team database (%1). Its server's own backups cover it: "
                            "ask its administrator to restore one."_s.arg(m_store.databaseLocation()));
        return;
    }
    m_boxes.setBusyCursor(true);
    QList<BackupInfo> list;
    try {
        list = backups.List();
    } catch (...) {
        m_boxes.setBusyCursor(false);
        throw;
    }
    m_boxes.setBusyCursor(false);
    if (list.isEmpty()) {
        m_boxes.showMessage(u"There is no backup yet. One is made at the first start of each day and before every "
                            "import, in %1."_s.arg(QDir::toNativeSeparators(backups.folder())));
        return;
    }
    auto* dialog = new TfrmRestoreBackup(list, backups.folder(), &m_window);
    dialog->setObjectName(u"frmRestoreBackup"_s);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (const std::optional<BackupInfo> backup = dialog->ChosenBackup())
            Guarded(m_boxes, [&] { RestoreBackup(*backup); });
    });
    dialog->open();
}

void ImportExport::RestoreBackup(const BackupInfo& backup)
{
    const QString what = u"the %1 of %2 (%3)"_s.arg(BackupKindText(backup.kind), BackupTimeText(backup.made),
                                                    Counted(backup.messages, u"Message"_s, u"Messages"_s));
    if (!m_boxes.confirmYesNoDefaultNo(
            u"Restore %1?\r\n\r\nEvery Message now in the database is replaced by those "
            "of the backup. The database as it is now is kept as a backup of its own."_s.arg(what)))
        return;
    m_boxes.setBusyCursor(true);
    QString kept;
    try {
        kept = DatabaseBackups(m_store).Restore(backup, m_clock());
    } catch (...) {
        m_boxes.setBusyCursor(false);
        throw;
    }
    m_boxes.setBusyCursor(false);
    Q_EMIT databaseRestored();
    m_boxes.showMessage(
        u"Restored %1.\r\nThe Messages it replaced are kept in %2."_s.arg(what, QDir::toNativeSeparators(kept)));
}
