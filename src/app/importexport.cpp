#include "app/importexport.h"

#include "exchange/exchangeformats.h"
#include "store/dmData.h"
#include "store/messageexchange.h"
#include "store/storeerror.h"
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

ImportExport::ImportExport(TdmFAQData& store, Interaction& boxes, QWidget& window)
    : QObject(&window)
    , m_store(store)
    , m_boxes(boxes)
    , m_window(window)
{ }

void ImportExport::ImportFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    MessageCollection collection;
    try {
        m_boxes.setBusyCursor(true);
        collection = ReadCollectionFile(path);
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
