#include "dialogs/fDestinations.h"
#include "ui_fDestinations.h"

#include "settings/settings.h"
#include "util/connectguarded.h"
#include "util/errors.h"
#include "util/interaction.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

enum Column { TitleColumn, MatchColumn, ClassColumn, RoleColumn };

const QStringList MatchTypes{u"Try Both"_s, u"Starts With"_s, u"Substring"_s};

// The match type's row in the list, or -1 for a text that names none.
int MatchIndex(const QString& searchType)
{
    for (qsizetype i = 0; i < MatchTypes.size(); ++i) {
        if (MatchTypes[i].compare(searchType, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

constexpr int HandleRole = Qt::UserRole;
constexpr int LiveLineIntervalMs = 1000;

// The keys of one entry, with the part of the entry each holds.
struct EntryField {
    const char16_t* key;
    QString TargetEntry::*value;
};
constexpr std::array EntryFields{
    EntryField{u"Target", &TargetEntry::title},
    EntryField{u"Search Type", &TargetEntry::searchType},
    EntryField{u"Class", &TargetEntry::className},
    EntryField{u"Role", &TargetEntry::role},
};

// Windows of this program are no destinations.
bool IsOwnWindow(WindowHandle window)
{
    const QWidgetList own = QApplication::topLevelWidgets();
    return std::any_of(own.cbegin(), own.cend(), [window](const QWidget* widget) {
        return widget->internalWinId() != 0 && WindowHandle(widget->internalWinId()) == window;
    });
}

// The title, and the class in brackets when there is one.
QString DescribeWindow(WindowSystem& windows, WindowHandle window)
{
    QString text = windows.windowTitle(window);
    const QString className = windows.windowClass(window);
    if (!className.isEmpty())
        text += u"  ["_s + className + u']';
    return text;
}

// The start of the title that tells the window from the others: what all their titles
// end with (a browser's name) is left off, in whole words.
QString TitlePart(const QString& title, const QStringList& others)
{
    qsizetype common = title.size();
    for (const QString& other : others) {
        qsizetype same = 0;
        while (same < common && same < other.size() && title[title.size() - 1 - same] == other[other.size() - 1 - same])
            ++same;
        common = same;
    }
    qsizetype cut = title.size() - common;
    // A shared end that starts inside a word ("ail - Chromium" of Mail and Gmail) keeps that word.
    if (cut > 0 && common > 0 && !title[cut - 1].isSpace() && !title[cut].isSpace()) {
        const qsizetype space = title.indexOf(u' ', cut);
        cut = space < 0 ? title.size() : space;
    }
    QString part = title.left(cut);
    while (!part.isEmpty() && QStringView(u" -\u2013\u2014|:").contains(part.back()))
        part.chop(1);
    return (part.isEmpty() ? title : part).left(MatchedTitleLength);
}

} // namespace

TfrmDestinations::TfrmDestinations(WindowSystem& windows, Interaction& boxes, const QString& selected, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmDestinations>())
    , m_windows(windows)
    , m_boxes(boxes)
{
    ui->setupUi(this);
    for (int row = 0; row < TargetEntryCount; ++row) {
        ui->grdEntries->setVerticalHeaderItem(row, new QTableWidgetItem(QString::number(row + 1)));
        auto* match = new QComboBox(ui->grdEntries);
        match->addItems(MatchTypes);
        ui->grdEntries->setCellWidget(row, MatchColumn, match);
        // The row is the lambda's own: no member slot knows which box changed.
        connect(match, &QComboBox::currentIndexChanged, this,
                [this, row] { Guarded(m_boxes, [&] { EntryEdited(row); }); });
    }
    ConnectGuarded(m_boxes, ui->grdEntries, &QTableWidget::itemChanged, this, &TfrmDestinations::grdEntriesItemChanged);
    ConnectGuarded(m_boxes, ui->lstDestinations, &QListWidget::currentRowChanged, this, &TfrmDestinations::ShowEntries);
    ConnectGuarded(m_boxes, ui->btnAdd, &QPushButton::clicked, this, &TfrmDestinations::btnAddClick);
    ConnectGuarded(m_boxes, ui->btnRename, &QPushButton::clicked, this, &TfrmDestinations::btnRenameClick);
    ConnectGuarded(m_boxes, ui->btnDelete, &QPushButton::clicked, this, &TfrmDestinations::btnDeleteClick);
    ConnectGuarded(m_boxes, ui->btnPickWindow, &QPushButton::clicked, this, &TfrmDestinations::btnPickWindowClick);
    ConnectGuarded(m_boxes, ui->lstOpenWindows, &QListWidget::itemActivated, this,
                   &TfrmDestinations::lstOpenWindowsPick);
    ui->lstOpenWindows->installEventFilter(this);
    ConnectGuarded(m_boxes, ui->btnOK, &QPushButton::clicked, this, &TfrmDestinations::btnOKClick);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* live = new QTimer(this);
    ConnectGuarded(m_boxes, live, &QTimer::timeout, this, &TfrmDestinations::UpdateMatchesNow);
    live->start(LiveLineIntervalMs);

    LoadDestinations(selected);
}

TfrmDestinations::~TfrmDestinations() = default;

bool TfrmDestinations::eventFilter(QObject* watched, QEvent* event)
{
    // Enter picks the window and stays in the dialog instead of also pressing OK.
    if (watched == ui->lstOpenWindows && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Guarded(m_boxes, [this] { lstOpenWindowsPick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmDestinations::LoadDestinations(const QString& selected)
{
    const IniFile targets = OpenTargetsFile();
    for (const QString& name : targets.sectionNames()) {
        Destination destination{name, name, {}, {}};
        for (int entry = 1; entry <= TargetEntryCount; ++entry)
            destination.read[entry - 1] = ReadTargetEntry(targets, name, entry);
        destination.entries = destination.read;
        m_destinations.append(destination);
        ui->lstDestinations->addItem(name);
        if (name.compare(selected, Qt::CaseInsensitive) == 0)
            ui->lstDestinations->setCurrentRow(ui->lstDestinations->count() - 1);
    }
    if (ui->lstDestinations->currentRow() < 0 && ui->lstDestinations->count() > 0)
        ui->lstDestinations->setCurrentRow(0);
    ShowEntries();
}

TfrmDestinations::Destination* TfrmDestinations::Current()
{
    const int row = ui->lstDestinations->currentRow();
    return row < 0 ? nullptr : &m_destinations[row];
}

QString TfrmDestinations::CurrentDestination() const
{
    const int row = ui->lstDestinations->currentRow();
    return row < 0 ? QString() : m_destinations[row].name;
}

QComboBox* TfrmDestinations::MatchBox(int row) const
{
    return static_cast<QComboBox*>(ui->grdEntries->cellWidget(row, MatchColumn));
}

void TfrmDestinations::ShowEntries()
{
    const Destination* destination = Current();
    m_showing = true;
    for (int row = 0; row < TargetEntryCount; ++row) {
        const TargetEntry entry = destination ? destination->entries[row] : TargetEntry{};
        ui->grdEntries->setItem(row, TitleColumn, new QTableWidgetItem(entry.title));
        ui->grdEntries->setItem(row, ClassColumn, new QTableWidgetItem(entry.className));
        ui->grdEntries->setItem(row, RoleColumn, new QTableWidgetItem(entry.role));
        // Any other text acts as "Try Both", which is shown first.
        MatchBox(row)->setCurrentIndex(std::max(MatchIndex(entry.searchType), 0));
    }
    m_showing = false;
    ui->grdEntries->setEnabled(destination != nullptr);
    ui->btnRename->setEnabled(destination != nullptr);
    ui->btnDelete->setEnabled(destination != nullptr);
    ui->btnPickWindow->setEnabled(destination != nullptr);
    UpdateMatchesNow();
}

void TfrmDestinations::EntryEdited(int row)
{
    Destination* destination = Current();
    if (m_showing || !destination)
        return;
    TargetEntry& entry = destination->entries[row];
    const auto cellText = [&](int column) {
        const QTableWidgetItem* item = ui->grdEntries->item(row, column);
        return item ? item->text().trimmed() : QString();
    };
    entry.title = cellText(TitleColumn);
    entry.className = cellText(ClassColumn);
    entry.role = cellText(RoleColumn);
    const QString match = MatchBox(row)->currentText();
    // An entry's unknown or missing match type stays as it was until another is chosen.
    if (match.compare(entry.searchType, Qt::CaseInsensitive) != 0
        && !(match == MatchTypes.first() && MatchIndex(entry.searchType) < 0))
        entry.searchType = match;
    UpdateMatchesNow();
}

void TfrmDestinations::grdEntriesItemChanged(QTableWidgetItem* item)
{
    EntryEdited(item->row());
}

void TfrmDestinations::UpdateMatchesNow()
{
    const Destination* destination = Current();
    if (!destination) {
        ui->lblMatchesNow->clear();
        return;
    }
    try {
        for (int row = 0; row < TargetEntryCount; ++row) {
            const QList<WindowHandle> found = FindEntryWindows(m_windows, destination->entries[row]);
            if (!found.isEmpty()) {
                QString text = u"Now entry %1 finds: %2"_s.arg(row + 1).arg(DescribeWindow(m_windows, found.first()));
                // A send takes the topmost: the one used last, which may be any of them.
                if (found.size() > 1)
                    text += u", the topmost of %1 windows it matches."_s.arg(found.size());
                ui->lblMatchesNow->setText(text);
                return;
            }
        }
        ui->lblMatchesNow->setText(u"No open window matches these entries now."_s);
    } catch (const Error&) {
        ui->lblMatchesNow->setText(u"The open windows cannot be listed here."_s);
    }
}

QString TfrmDestinations::AskName(const QString& caption, const QString& current)
{
    const std::optional<QString> answer = m_boxes.inputText(caption, u"Name of the destination:"_s, current, 255);
    const QString name = answer.value_or(QString()).trimmed();
    if (name.isEmpty() || name == current)
        return {};
    if (name.contains(u'[') || name.contains(u']')) {
        m_boxes.showWarning(u"A destination's name cannot hold [ or ]."_s);
        return {};
    }
    const bool taken = std::any_of(m_destinations.cbegin(), m_destinations.cend(), [&](const Destination& d) {
        return d.name.compare(name, Qt::CaseInsensitive) == 0 && d.name.compare(current, Qt::CaseInsensitive) != 0;
    });
    if (taken) {
        m_boxes.showWarning(u"There is a destination named \"%1\" already."_s.arg(name));
        return {};
    }
    return name;
}

void TfrmDestinations::btnAddClick()
{
    const QString name = AskName(u"Add Destination"_s, {});
    if (name.isEmpty())
        return;
    m_destinations.append({{}, name, {}, {}});
    ui->lstDestinations->addItem(name);
    ui->lstDestinations->setCurrentRow(ui->lstDestinations->count() - 1);
}

void TfrmDestinations::btnRenameClick()
{
    Destination* destination = Current();
    if (!destination)
        return;
    const QString name = AskName(u"Rename Destination"_s, destination->name);
    if (name.isEmpty())
        return;
    destination->name = name;
    ui->lstDestinations->currentItem()->setText(name);
}

void TfrmDestinations::btnDeleteClick()
{
    const Destination* destination = Current();
    if (!destination || !m_boxes.confirmYesNo(u"Delete the destination \"%1\"?"_s.arg(destination->name)))
        return;
    if (!destination->original.isEmpty())
        m_removed.append(destination->original);
    const int row = ui->lstDestinations->currentRow();
    m_destinations.removeAt(row);
    delete ui->lstDestinations->takeItem(row);
    ShowEntries();
}

void TfrmDestinations::btnPickWindowClick()
{
    WindowSystem& windows = m_windows;
    ui->lstOpenWindows->clear();
    for (const WindowHandle window : windows.topLevelWindows()) {
        if (windows.windowTitle(window).isEmpty() || IsOwnWindow(window))
            continue;
        auto* item = new QListWidgetItem(DescribeWindow(windows, window));
        item->setData(HandleRole, QVariant::fromValue(window));
        ui->lstOpenWindows->addItem(item);
    }
    ui->lstOpenWindows->setVisible(true);
    ui->lstOpenWindows->setCurrentRow(0);
    ui->lstOpenWindows->setFocus();
}

void TfrmDestinations::lstOpenWindowsPick()
{
    Destination* destination = Current();
    const QListWidgetItem* item = ui->lstOpenWindows->currentItem();
    if (!destination || !item)
        return;
    WindowSystem& windows = m_windows;
    const auto window = item->data(HandleRole).value<WindowHandle>();
    // The class and role stay while a title changes with every document; a window without
    // a class is known by the start of its title.
    TargetEntry picked;
    picked.className = windows.windowClass(window).trimmed();
    // A number that programs append to tell their windows apart is left off the role.
    picked.role = windows.windowRole(window).trimmed().remove(QRegularExpression(u"[-_]?[0-9]+$"_s));
    const QString title = windows.windowTitle(window);
    if (picked.className.isEmpty()) {
        picked.title = title;
        picked.searchType = u"Starts With"_s;
    } else {
        // Other windows of the kind with other titles (a browser's windows, each on a site of
        // its own): the start of the title tells the picked one from them.
        QStringList others;
        for (const WindowHandle other : windows.topLevelWindows()) {
            const QString otherTitle = windows.windowTitle(other);
            if (other != window && otherTitle != title && !IsOwnWindow(other)
                && windows.windowClass(other).trimmed().compare(picked.className, Qt::CaseInsensitive) == 0
                && windows.windowRole(other).startsWith(picked.role, Qt::CaseInsensitive))
                others.append(otherTitle);
        }
        if (!others.isEmpty())
            picked.title = TitlePart(title, others);
    }
    int row = ui->grdEntries->currentRow();
    if (row < 0 || !destination->entries[row].isEmpty()) {
        const auto empty = std::find_if(destination->entries.cbegin(), destination->entries.cend(),
                                        [](const TargetEntry& entry) { return entry.isEmpty(); });
        row = empty == destination->entries.cend() ? std::max(row, 0) : int(empty - destination->entries.cbegin());
    }
    picked.exceptTitles = destination->entries[row].exceptTitles;
    destination->entries[row] = picked;
    ShowEntries();
    ui->grdEntries->setCurrentCell(row, TitleColumn);
    ui->grdEntries->setFocus();
    ui->lstOpenWindows->setVisible(false);
    // The title part is a proposal: open for the user to shorten to what stays (the site's name).
    if (!picked.title.isEmpty() && !picked.className.isEmpty())
        ui->grdEntries->editItem(ui->grdEntries->item(row, TitleColumn));
}

void TfrmDestinations::btnOKClick()
{
    const IniFile targets = OpenTargetsFile();
    for (const QString& removed : std::as_const(m_removed))
        targets.removeSection(removed);
    // Through names of their own first, so that two destinations can swap names.
    QList<Destination*> renamed;
    for (Destination& destination : m_destinations) {
        if (!destination.original.isEmpty() && destination.original != destination.name)
            renamed.append(&destination);
    }
    for (qsizetype i = 0; i < renamed.size(); ++i)
        targets.renameSection(renamed[i]->original, u"\u0001renaming %1"_s.arg(i));
    for (qsizetype i = 0; i < renamed.size(); ++i)
        targets.renameSection(u"\u0001renaming %1"_s.arg(i), renamed[i]->name);

    for (const Destination& destination : std::as_const(m_destinations)) {
        bool written = false;
        for (int entry = 1; entry <= TargetEntryCount; ++entry) {
            for (const EntryField& field : EntryFields) {
                const QString& value = destination.entries[entry - 1].*field.value;
                const QString key = TargetEntryKey(QString::fromUtf16(field.key), entry);
                if (value == destination.read[entry - 1].*field.value)
                    continue;
                if (value.isEmpty()) {
                    targets.removeKey(destination.name, key);
                } else {
                    targets.writeText(destination.name, key, value);
                    written = true;
                }
            }
        }
        // A new destination without entries is still listed.
        if (destination.original.isEmpty() && !written)
            targets.writeText(destination.name, u"Target"_s, {});
    }
    // Closed only once all is written; a failure keeps the dialog open.
    accept();
}
