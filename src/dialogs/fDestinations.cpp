#include "dialogs/fDestinations.h"
#include "ui_fDestinations.h"

#include "settings/settings.h"
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

} // namespace

TfrmDestinations::TfrmDestinations(const QString& selected, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TfrmDestinations>())
{
    m_ui->setupUi(this);
    for (int row = 0; row < TargetEntryCount; ++row) {
        m_ui->grdEntries->setVerticalHeaderItem(row, new QTableWidgetItem(QString::number(row + 1)));
        auto* match = new QComboBox(m_ui->grdEntries);
        match->addItems(MatchTypes);
        m_ui->grdEntries->setCellWidget(row, MatchColumn, match);
        connect(match, &QComboBox::currentIndexChanged, this, [this, row] { Guarded([&] { EntryEdited(row); }); });
    }
    connect(m_ui->grdEntries, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { Guarded([&] { EntryEdited(item->row()); }); });
    // Each handler runs through the guard.
    const auto guarded = [this](void (TfrmDestinations::*handler)()) {
        return [this, handler] { Guarded([&] { (this->*handler)(); }); };
    };
    connect(m_ui->lstDestinations, &QListWidget::currentRowChanged, this, guarded(&TfrmDestinations::ShowEntries));
    connect(m_ui->btnAdd, &QPushButton::clicked, this, guarded(&TfrmDestinations::btnAddClick));
    connect(m_ui->btnRename, &QPushButton::clicked, this, guarded(&TfrmDestinations::btnRenameClick));
    connect(m_ui->btnDelete, &QPushButton::clicked, this, guarded(&TfrmDestinations::btnDeleteClick));
    connect(m_ui->btnPickWindow, &QPushButton::clicked, this, guarded(&TfrmDestinations::btnPickWindowClick));
    connect(m_ui->lstOpenWindows, &QListWidget::itemActivated, this, guarded(&TfrmDestinations::lstOpenWindowsPick));
    m_ui->lstOpenWindows->installEventFilter(this);
    connect(m_ui->btnOK, &QPushButton::clicked, this, [this] {
        if (Guarded([this] { btnOKClick(); }))
            accept();
    });
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* live = new QTimer(this);
    connect(live, &QTimer::timeout, this, guarded(&TfrmDestinations::UpdateMatchesNow));
    live->start(LiveLineIntervalMs);

    LoadDestinations(selected);
}

TfrmDestinations::~TfrmDestinations() = default;

bool TfrmDestinations::eventFilter(QObject* watched, QEvent* event)
{
    // Enter picks the window and stays in the dialog instead of also pressing OK.
    if (watched == m_ui->lstOpenWindows && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Guarded([this] { lstOpenWindowsPick(); });
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
        m_ui->lstDestinations->addItem(name);
        if (name.compare(selected, Qt::CaseInsensitive) == 0)
            m_ui->lstDestinations->setCurrentRow(m_ui->lstDestinations->count() - 1);
    }
    if (m_ui->lstDestinations->currentRow() < 0 && m_ui->lstDestinations->count() > 0)
        m_ui->lstDestinations->setCurrentRow(0);
    ShowEntries();
}

TfrmDestinations::Destination* TfrmDestinations::Current()
{
    const int row = m_ui->lstDestinations->currentRow();
    return row < 0 ? nullptr : &m_destinations[row];
}

QString TfrmDestinations::CurrentDestination() const
{
    const int row = m_ui->lstDestinations->currentRow();
    return row < 0 ? QString() : m_destinations[row].name;
}

QComboBox* TfrmDestinations::MatchBox(int row) const
{
    return static_cast<QComboBox*>(m_ui->grdEntries->cellWidget(row, MatchColumn));
}

void TfrmDestinations::ShowEntries()
{
    const Destination* destination = Current();
    m_showing = true;
    for (int row = 0; row < TargetEntryCount; ++row) {
        const TargetEntry entry = destination ? destination->entries[row] : TargetEntry{};
        m_ui->grdEntries->setItem(row, TitleColumn, new QTableWidgetItem(entry.title));
        m_ui->grdEntries->setItem(row, ClassColumn, new QTableWidgetItem(entry.className));
        m_ui->grdEntries->setItem(row, RoleColumn, new QTableWidgetItem(entry.role));
        // Any other text acts as "Try Both", which is shown first.
        MatchBox(row)->setCurrentIndex(std::max(MatchIndex(entry.searchType), 0));
    }
    m_showing = false;
    m_ui->grdEntries->setEnabled(destination != nullptr);
    m_ui->btnRename->setEnabled(destination != nullptr);
    m_ui->btnDelete->setEnabled(destination != nullptr);
    m_ui->btnPickWindow->setEnabled(destination != nullptr);
    UpdateMatchesNow();
}

void TfrmDestinations::EntryEdited(int row)
{
    Destination* destination = Current();
    if (m_showing || !destination)
        return;
    TargetEntry& entry = destination->entries[row];
    const auto cellText = [&](int column) {
        const QTableWidgetItem* item = m_ui->grdEntries->item(row, column);
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

void TfrmDestinations::UpdateMatchesNow()
{
    const Destination* destination = Current();
    if (!destination) {
        m_ui->lblMatchesNow->clear();
        return;
    }
    try {
        for (int row = 0; row < TargetEntryCount; ++row) {
            if (const WindowHandle window = FindEntryWindow(platform().windows, destination->entries[row])) {
                m_ui->lblMatchesNow->setText(
                    u"Now entry %1 finds: %2"_s.arg(row + 1).arg(DescribeWindow(platform().windows, window)));
                return;
            }
        }
        m_ui->lblMatchesNow->setText(u"No open window matches these entries now."_s);
    } catch (const Error&) {
        m_ui->lblMatchesNow->setText(u"The open windows cannot be listed here."_s);
    }
}

QString TfrmDestinations::AskName(const QString& caption, const QString& current)
{
    const std::optional<QString> answer = interaction().inputText(caption, u"Name of the destination:"_s, current, 255);
    const QString name = answer.value_or(QString()).trimmed();
    if (name.isEmpty() || name == current)
        return {};
    if (name.contains(u'[') || name.contains(u']')) {
        interaction().showWarning(u"A destination's name cannot hold [ or ]."_s);
        return {};
    }
    const bool taken = std::any_of(m_destinations.cbegin(), m_destinations.cend(), [&](const Destination& d) {
        return d.name.compare(name, Qt::CaseInsensitive) == 0 && d.name.compare(current, Qt::CaseInsensitive) != 0;
    });
    if (taken) {
        interaction().showWarning(u"There is a destination named \"%1\" already."_s.arg(name));
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
    m_ui->lstDestinations->addItem(name);
    m_ui->lstDestinations->setCurrentRow(m_ui->lstDestinations->count() - 1);
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
    m_ui->lstDestinations->currentItem()->setText(name);
}

void TfrmDestinations::btnDeleteClick()
{
    const Destination* destination = Current();
    if (!destination || !interaction().confirmYesNo(u"Delete the destination \"%1\"?"_s.arg(destination->name)))
        return;
    if (!destination->original.isEmpty())
        m_removed.append(destination->original);
    const int row = m_ui->lstDestinations->currentRow();
    m_destinations.removeAt(row);
    delete m_ui->lstDestinations->takeItem(row);
    ShowEntries();
}

void TfrmDestinations::btnPickWindowClick()
{
    WindowSystem& windows = platform().windows;
    m_ui->lstOpenWindows->clear();
    for (const WindowHandle window : windows.topLevelWindows()) {
        if (windows.windowTitle(window).isEmpty() || IsOwnWindow(window))
            continue;
        auto* item = new QListWidgetItem(DescribeWindow(windows, window));
        item->setData(HandleRole, QVariant::fromValue(window));
        m_ui->lstOpenWindows->addItem(item);
    }
    m_ui->lstOpenWindows->setVisible(true);
    m_ui->lstOpenWindows->setCurrentRow(0);
    m_ui->lstOpenWindows->setFocus();
}

void TfrmDestinations::lstOpenWindowsPick()
{
    Destination* destination = Current();
    const QListWidgetItem* item = m_ui->lstOpenWindows->currentItem();
    if (!destination || !item)
        return;
    WindowSystem& windows = platform().windows;
    const auto window = item->data(HandleRole).value<WindowHandle>();
    // The class and role stay while a title changes with every document; a window without
    // a class is known by the start of its title.
    TargetEntry picked;
    picked.className = windows.windowClass(window).trimmed();
    // A number that programs append to tell their windows apart is left off the role.
    picked.role = windows.windowRole(window).trimmed().remove(QRegularExpression(u"[-_]?[0-9]+$"_s));
    if (picked.className.isEmpty()) {
        picked.title = windows.windowTitle(window);
        picked.searchType = u"Starts With"_s;
    }
    int row = m_ui->grdEntries->currentRow();
    if (row < 0 || !destination->entries[row].isEmpty()) {
        const auto empty = std::find_if(destination->entries.cbegin(), destination->entries.cend(),
                                        [](const TargetEntry& entry) { return entry.isEmpty(); });
        row = empty == destination->entries.cend() ? std::max(row, 0) : int(empty - destination->entries.cbegin());
    }
    destination->entries[row] = picked;
    ShowEntries();
    m_ui->grdEntries->setCurrentCell(row, TitleColumn);
    m_ui->grdEntries->setFocus();
    m_ui->lstOpenWindows->setVisible(false);
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
}
