#include "dialogs/fOptions.h"
#include "ui_fOptions.h"

#include "dialogs/fDestinations.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "util/errors.h"

#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

const QString OtherDestination = u"Other"_s;
const QString DefaultDestination = u"Notepad"_s;

} // namespace

TfrmOptions::TfrmOptions(OptionsHooks hooks, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TfrmOptions>())
    , m_hooks(std::move(hooks))
{
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    connect(m_ui->btnOK, &QPushButton::clicked, this, [this] {
        // A refused write ends OK with its error; what was written stays, nothing is applied.
        if (!Guarded([this] { btnOKClick(); }))
            reject();
    });
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->btnDestinations, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnDestinationsClick(); }); });
    connect(m_ui->cmbDestinationApplication, &QComboBox::textActivated, this,
            [this](const QString& name) { Guarded([&] { SelectDestination(name); }); });

    FillDestinations();
    LoadOptions();
}

TfrmOptions::~TfrmOptions() = default;

void TfrmOptions::FillDestinations()
{
    m_ui->cmbDestinationApplication->clear();
    m_ui->cmbDestinationApplication->addItems(OpenTargetsFile().sectionNames());
    m_ui->cmbDestinationApplication->setCurrentIndex(-1);
}

void TfrmOptions::LoadOptions()
{
    m_ui->hkActivate->setHotKey(TextToHotKey(ReadSetting(Setting::ActivateKey)));
    m_ui->hkHotKey->setHotKey(TextToHotKey(ReadSetting(Setting::HotKey)));
    const QString target = ReadSetting(Setting::Target);
    SelectDestination(target.isEmpty() ? DefaultDestination : target);
    m_ui->chkRestoreClipboard->setChecked(ReadBoolSetting(Setting::RestoreClipboard));
    m_ui->chkDoAttachments->setChecked(ReadBoolSetting(Setting::DoAttachments));
    m_ui->chkMinimizeOnClose->setChecked(ReadBoolSetting(Setting::MinimizeOnClose));
    // The desktop keeps this switch itself (autostart entry, Run key), not options.ini.
    LoginStart* loginStart = PlatformLoginStart();
    m_ui->chkStartAtLogin->setVisible(loginStart != nullptr);
    m_ui->chkStartAtLogin->setChecked(loginStart && loginStart->isEnabled());
    if (ShowActivationKeyRefusal())
        m_refusalShown = m_ui->hkActivate->hotKey();
}

void TfrmOptions::SelectDestination(const QString& name)
{
    int index = -1;
    for (int i = 0; i < m_ui->cmbDestinationApplication->count() && index < 0; ++i) {
        if (m_ui->cmbDestinationApplication->itemText(i).compare(name, Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (index < 0 && !name.isEmpty())
        index = m_ui->cmbDestinationApplication->findText(DefaultDestination, Qt::MatchFixedString);
    m_ui->cmbDestinationApplication->setCurrentIndex(index);

    const QString destination = Destination();
    QString targetWord;
    QString matchType;
    if (destination != OtherDestination) {
        const IniFile targets = OpenTargetsFile();
        targetWord = targets.readText(destination, u"Target"_s, {});
        if (!targetWord.isEmpty())
            matchType = targets.readText(destination, u"Search Type"_s, {});
        if (targetWord.isEmpty())
            targetWord = destination;
        if (matchType.isEmpty())
            matchType = u"0"_s;
    }
    m_ui->txtTargetWord->setText(targetWord);
    m_ui->cmbWindowSearchType->setCurrentIndex(m_ui->cmbWindowSearchType->findText(matchType, Qt::MatchFixedString));
}

QString TfrmOptions::Destination() const
{
    const QComboBox* list = m_ui->cmbDestinationApplication;
    return list->currentIndex() < 0 ? QString() : list->currentText();
}

void TfrmOptions::btnOKClick()
{
    WriteSetting(Setting::HotKey, HotKeyToText(m_ui->hkHotKey->hotKey()));
    WriteSetting(Setting::ActivateKey, HotKeyToText(m_ui->hkActivate->hotKey()));
    WriteSetting(Setting::WindowSearch,
                 m_ui->cmbWindowSearchType->currentIndex() < 0 ? QString() : m_ui->cmbWindowSearchType->currentText());
    WriteBoolSetting(Setting::DoAttachments, m_ui->chkDoAttachments->isChecked());
    WriteBoolSetting(Setting::RestoreClipboard, m_ui->chkRestoreClipboard->isChecked());
    WriteBoolSetting(Setting::MinimizeOnClose, m_ui->chkMinimizeOnClose->isChecked());
    if (LoginStart* loginStart = PlatformLoginStart();
        loginStart && loginStart->isEnabled() != m_ui->chkStartAtLogin->isChecked())
        loginStart->setEnabled(m_ui->chkStartAtLogin->isChecked());
    const QString destination = Destination();
    WriteSetting(Setting::Target, destination == OtherDestination ? m_ui->txtTargetWord->text() : destination);
    m_hooks.applyOptions();

    // A newly refused activation key is told of once, beside its field; OK again closes.
    if (ShowActivationKeyRefusal() && m_ui->hkActivate->hotKey() != m_refusalShown) {
        m_refusalShown = m_ui->hkActivate->hotKey();
        m_ui->hkActivate->setFocus();
        return;
    }
    accept();
}

bool TfrmOptions::ShowActivationKeyRefusal()
{
    const bool refused = m_hooks.activationKeyRefused && m_hooks.activationKeyRefused();
    m_ui->lblActivateKeyRefused->setVisible(refused);
    return refused;
}

void TfrmOptions::btnDestinationsClick()
{
    TfrmDestinations editor(Destination(), this);
    if (editor.exec() != QDialog::Accepted)
        return;
    FillDestinations();
    SelectDestination(editor.CurrentDestination());
}
