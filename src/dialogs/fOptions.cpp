#include "dialogs/fOptions.h"
#include "ui_fOptions.h"

#include "delivery/globals.h"
#include "dialogs/fDestinations.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "util/connectguarded.h"
#include "util/errors.h"

#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

const QString OtherDestination = u"Other"_s;
const QString DefaultDestination = u"Notepad"_s;

} // namespace

TfrmOptions::TfrmOptions(Options& options, Platform& desktop, Interaction& boxes, OptionsHooks hooks, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmOptions>())
    , m_options(options)
    , m_desktop(desktop)
    , m_boxes(boxes)
    , m_hooks(std::move(hooks))
    , m_targets(OpenTargetsFile())
{
    ui->setupUi(this);
    m_bindings = Bindings();
    if (parent)
        setWindowIcon(parent->windowIcon());

    connect(ui->btnOK, &QPushButton::clicked, this, [this] {
        // A refused write ends OK with its error; nothing is written or applied.
        if (!Guarded(m_boxes, [this] { btnOKClick(); }))
            reject();
    });
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    ConnectGuarded(m_boxes, ui->btnDestinations, &QPushButton::clicked, this, &TfrmOptions::btnDestinationsClick);
    ConnectGuarded(m_boxes, ui->cmbDestinationApplication, &QComboBox::textActivated, this,
                   &TfrmOptions::SelectDestination);
    connect(ui->hkActivate, &HotKeyEdit::hotKeyChanged, this, &TfrmOptions::ShowTypingKeyNote);

    FillDestinations();
    LoadOptions();
    FitHeight();
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TfrmOptions::~TfrmOptions() = default;

QList<TfrmOptions::Binding> TfrmOptions::Bindings()
{
    const auto hotKey = [](const SettingKey<QString>& key, HotKeyEdit* field) {
        return Binding{[&key, field](const Options& options) { field->setHotKey(TextToHotKey(options.value(key))); },
                       [&key, field](Options& options) { options.setValue(key, HotKeyToText(field->hotKey())); }};
    };
    const auto check = [](const SettingKey<bool>& key, QCheckBox* box) {
        return Binding{[&key, box](const Options& options) { box->setChecked(options.value(key)); },
                       [&key, box](Options& options) { options.setValue(key, box->isChecked()); }};
    };
    return {
        hotKey(Setting::HotKey, ui->hkHotKey),
        hotKey(Setting::ActivateKey, ui->hkActivate),
        // Shown from targets.ini with the destination; stored as OK finds it.
        {{},
         [this](Options& options) {
             const QComboBox* box = ui->cmbWindowSearchType;
             options.setValue(Setting::WindowSearch, box->currentIndex() < 0 ? QString() : box->currentText());
         }},
        check(Setting::DoAttachments, ui->chkDoAttachments),
        check(Setting::RestoreClipboard, ui->chkRestoreClipboard),
        check(Setting::MinimizeOnClose, ui->chkMinimizeOnClose),
        {[this](const Options& options) {
             const QString target = options.value(Setting::Target);
             SelectDestination(target.isEmpty() ? DefaultDestination : target);
         },
         [this](Options& options) {
             const QString destination = Destination();
             options.setValue(Setting::Target,
                              destination == OtherDestination ? ui->txtTargetWord->text() : destination);
         }},
    };
}

void TfrmOptions::FillDestinations()
{
    ui->cmbDestinationApplication->clear();
    // Any program: the one the user called this program up from.
    ui->cmbDestinationApplication->addItem(CameFromDestination.toString());
    // One reading of the file for the list and every destination then selected.
    m_targets = OpenTargetsFile().snapshot();
    ui->cmbDestinationApplication->addItems(m_targets.sectionNames());
    ui->cmbDestinationApplication->setCurrentIndex(-1);
}

void TfrmOptions::LoadOptions()
{
    m_options.load();
    for (const Binding& binding : m_bindings) {
        if (binding.show)
            binding.show(m_options);
    }
    // The desktop keeps this switch itself (autostart entry, Run key), not options.ini.
    LoginStart* loginStart = m_desktop.loginStart;
    ui->chkStartAtLogin->setVisible(loginStart != nullptr);
    ui->chkStartAtLogin->setChecked(loginStart && loginStart->isEnabled());
    if (ShowActivationKeyRefusal())
        m_refusalShown = ui->hkActivate->hotKey();
    RememberShown();
}

QList<IniFile::Entry> TfrmOptions::ShownValues() const
{
    Options values(m_options.path());
    for (const Binding& binding : m_bindings) {
        if (binding.store)
            binding.store(values);
    }
    return values.changes();
}

void TfrmOptions::RememberShown()
{
    m_shown = ShownValues();
    m_fileTexts.clear();
    for (const IniFile::Entry& value : std::as_const(m_shown))
        m_fileTexts.append(m_options.storedText(value.section, value.key));
}

void TfrmOptions::SelectDestination(const QString& name)
{
    int index = -1;
    for (int i = 0; i < ui->cmbDestinationApplication->count() && index < 0; ++i) {
        if (ui->cmbDestinationApplication->itemText(i).compare(name, Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (index < 0 && !name.isEmpty())
        index = ui->cmbDestinationApplication->findText(DefaultDestination, Qt::MatchFixedString);
    ui->cmbDestinationApplication->setCurrentIndex(index);

    const QString destination = Destination();
    QString targetWord;
    QString matchType;
    if (destination != OtherDestination) {
        targetWord = m_targets.readText(destination, u"Target"_s, {});
        if (!targetWord.isEmpty())
            matchType = m_targets.readText(destination, u"Search Type"_s, {});
        if (targetWord.isEmpty())
            targetWord = destination;
        if (matchType.isEmpty())
            matchType = u"0"_s;
    }
    ui->txtTargetWord->setText(targetWord);
    ui->cmbWindowSearchType->setCurrentIndex(ui->cmbWindowSearchType->findText(matchType, Qt::MatchFixedString));
}

QString TfrmOptions::Destination() const
{
    const QComboBox* list = ui->cmbDestinationApplication;
    return list->currentIndex() < 0 ? QString() : list->currentText();
}

void TfrmOptions::btnOKClick()
{
    // A key that types text stays with the other programs; the note beside it says why.
    if (ShowTypingKeyNote()) {
        ui->hkActivate->setFocus();
        return;
    }
    // Another Options dialog, in this program or another, may have saved since this one
    // opened: only what this one changed, or what the file lacks or holds in another form
    // and nobody touched since, is written over the file as it is now.
    m_options.load();
    const QList<IniFile::Entry> values = ShownValues();
    for (qsizetype i = 0; i < values.size(); ++i) {
        const IniFile::Entry& value = values[i];
        const bool changedHere = value.value != m_shown[i].value;
        const bool untouched = m_options.storedText(value.section, value.key) == m_fileTexts[i];
        if (changedHere || (untouched && m_fileTexts[i] != value.value))
            m_options.setText(value.section, value.key, value.value);
    }
    m_options.save();
    RememberShown();
    if (LoginStart* loginStart = m_desktop.loginStart;
        loginStart && loginStart->isEnabled() != ui->chkStartAtLogin->isChecked())
        loginStart->setEnabled(ui->chkStartAtLogin->isChecked());
    m_hooks.applyOptions();

    // A newly refused activation key is told of once, beside its field; OK again closes.
    if (ShowActivationKeyRefusal() && ui->hkActivate->hotKey() != m_refusalShown) {
        m_refusalShown = ui->hkActivate->hotKey();
        ui->hkActivate->setFocus();
        return;
    }
    accept();
}

bool TfrmOptions::ShowActivationKeyRefusal()
{
    const bool refused = m_hooks.activationKeyRefused && m_hooks.activationKeyRefused();
    ui->lblActivateKeyRefused->setVisible(refused);
    FitHeight();
    return refused;
}

bool TfrmOptions::ShowTypingKeyNote()
{
    const bool typing = TypesText(ui->hkActivate->hotKey());
    ui->lblActivateKeyNeedsModifier->setVisible(typing);
    FitHeight();
    return typing;
}

void TfrmOptions::FitHeight()
{
    // Word-wrapped texts take more lines than the layout's minimum size tells: the window
    // grows to their height at its width instead of letting them overlap.
    layout()->activate();
    const int needed = heightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void TfrmOptions::btnDestinationsClick()
{
    TfrmDestinations editor(m_desktop.windows, m_boxes, Destination(), this);
    if (editor.exec() != QDialog::Accepted)
        return;
    FillDestinations();
    SelectDestination(editor.CurrentDestination());
}
