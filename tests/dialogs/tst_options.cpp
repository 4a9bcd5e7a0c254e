// The options dialog over real settings files in a temporary folder, and its hot-key fields.
#include "dialogs/fOptions.h"
#include "dialogs/hotkeyedit.h"
#include "platform/fake/fakeplatform.h"

#include "childbyname.h"
#include "dialogs/fDestinations.h"
#include "mnemonics.h"
#include "scriptedinteraction.h"
#include "settings/inifile.h"
#include "settings/settings.h"
#include "testfiles.h"
#include "util/textutils.h"
#include "util/virtualkeys.h"
#include "windowplacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Targets = "; destinations\n[Outlook]\nTarget=- Outlook\nSearch Type=Substring\n"
                           "[Notepad]\nTarget=- Mousepad\n[Bare]\nClass=bare\n[Other]\n";

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void hotKeyField_data();
    void hotKeyField();
    void opening_data();
    void opening();
    void okWritesInOrderThenApplies_data();
    void okWritesInOrderThenApplies();
    void cancelWritesNothing();
    void refusedWriteEndsOk();
    void fullDiskLeavesFilesAsTheyWere_data();
    void fullDiskLeavesFilesAsTheyWere();
    void twoDialogsWriteOnlyWhatEachChanged_data();
    void twoDialogsWriteOnlyWhatEachChanged();
    void manyDestinations();
    void startAtLogin();
    void typingKeyNeedsCtrlOrAlt_data();
    void typingKeyNeedsCtrlOrAlt();
    void notesGrowTheWindow_data();
    void notesGrowTheWindow();
    void opensAtDesignWidthCentred();
    void captionBesideCheckBoxClicksIt();
    void acceleratorsUniquePerWindow_data();
    void acceleratorsUniquePerWindow();

private:
    // A dialog over the folder's files; applied counts the calls of ApplyOptions.
    // On a desktop that does not offer starting at login unless one is given.
    std::unique_ptr<TfrmOptions> openDialog(Platform* desktop = nullptr);
    QString optionsPath() const { return dir->filePath(u"options.ini"_s); }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ScriptedInteraction> ui;
    FakePlatform fake;
    Platform withoutLoginStart{fake.windows,     fake.keyboard, fake.clipboard, fake.activationKey,
                               fake.dateFormats, fake.files,    nullptr};
    // The settings of each dialog opened, alive as long as the test's dialogs.
    std::vector<std::unique_ptr<Options>> dialogOptions;
    int applied = 0;
    QByteArray optionsWhenApplied;
    // What the desktop answers when asked whether it refused the activation key.
    bool keyRefused = false;
};

void TestOptions::init()
{
    dir = std::make_unique<QTemporaryDir>();
    OverrideAppDir(dir->path());
    ui = std::make_unique<ScriptedInteraction>();
    applied = 0;
    optionsWhenApplied.clear();
    keyRefused = false;
}

void TestOptions::cleanup()
{
    ui.reset();
    dialogOptions.clear();
    OverrideAppDir({});
}

std::unique_ptr<TfrmOptions> TestOptions::openDialog(Platform* desktop)
{
    OptionsHooks hooks{[this] {
                           ++applied;
                           optionsWhenApplied = ReadFileBytes(optionsPath());
                       },
                       [this] { return keyRefused; }};
    dialogOptions.push_back(std::make_unique<Options>(optionsPath()));
    auto dialog
        = std::make_unique<TfrmOptions>(*dialogOptions.back(), desktop ? *desktop : withoutLoginStart, *ui, hooks);
    dialog->open();
    return dialog;
}

void TestOptions::hotKeyField_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<HotKey>("stored");
    const auto none = Qt::KeyboardModifiers();
    QTest::newRow("key alone") << int(Qt::Key_F9) << none << u"F9"_s << HotKey{Vk::F1 + 8, 0};
    QTest::newRow("Ctrl+F9") << int(Qt::Key_F9) << Qt::KeyboardModifiers(Qt::ControlModifier) << u"Ctrl+F9"_s
                             << HotKey{Vk::F1 + 8, ShiftState::Ctrl};
    QTest::newRow("Ctrl+Shift+K") << int(Qt::Key_K) << (Qt::ControlModifier | Qt::ShiftModifier) << u"Shift+Ctrl+K"_s
                                  << HotKey{Vk::KeyA + 10, ShiftState::Ctrl | ShiftState::Shift};
    QTest::newRow("Alt+F9") << int(Qt::Key_F9) << Qt::KeyboardModifiers(Qt::AltModifier) << u"Alt+F9"_s
                            << HotKey{Vk::F1 + 8, ShiftState::Alt};
    QTest::newRow("Shift+F11") << int(Qt::Key_F11) << Qt::KeyboardModifiers(Qt::ShiftModifier) << u"Shift+F11"_s
                               << HotKey{Vk::F11, ShiftState::Shift};
    QTest::newRow("Shift+Alt") << int(Qt::Key_F9) << (Qt::ShiftModifier | Qt::AltModifier) << u"Shift+Alt+F9"_s
                               << HotKey{Vk::F1 + 8, ShiftState::Shift | ShiftState::Alt};
    QTest::newRow("all three") << int(Qt::Key_A) << (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier)
                               << u"Shift+Ctrl+Alt+A"_s << HotKey{Vk::KeyA, 7};
    QTest::newRow("Shift+1 as typed") << int(Qt::Key_Exclam) << Qt::KeyboardModifiers(Qt::ShiftModifier) << u"Shift+1"_s
                                      << HotKey{Vk::Key0 + 1, ShiftState::Shift};
    QTest::newRow("number pad digit reads back as the digit")
        << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::KeypadModifier) << u"5"_s << HotKey{Vk::Key0 + 5, 0};
    QTest::newRow("Backspace empties") << int(Qt::Key_Backspace) << none << QString() << HotKey{};
    QTest::newRow("Ctrl+Backspace is a key") << int(Qt::Key_Backspace) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                             << u"Ctrl+BkSp"_s << HotKey{Vk::Back, ShiftState::Ctrl};
    QTest::newRow("a modifier alone changes nothing")
        << int(Qt::Key_Shift) << Qt::KeyboardModifiers(Qt::ShiftModifier) << u"F12"_s << HotKey{Vk::F12, 0};
    QTest::newRow("Esc belongs to the dialog") << int(Qt::Key_Escape) << none << u"F12"_s << HotKey{Vk::F12, 0};
    QTest::newRow("Tab moves on") << int(Qt::Key_Tab) << none << u"F12"_s << HotKey{Vk::F12, 0};
}

void TestOptions::hotKeyField()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, shown);
    QFETCH(HotKey, stored);
    HotKeyEdit field;
    field.setHotKey({Vk::F12, 0});
    QTest::keyClick(&field, Qt::Key(key), modifiers);
    QCOMPARE(field.text(), shown);
    QCOMPARE(field.hotKey(), stored);
    QCOMPARE(HotKeyToText(field.hotKey()), shown);
}

void TestOptions::opening_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QByteArray>("targets"); // empty: no targets.ini
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("keys"); // activation key, send key
    QTest::addColumn<QString>("switches"); // restore, attachments, minimise
    QTest::addColumn<QString>("targetWord");
    QTest::addColumn<QString>("matchType");
    QTest::newRow("only Target") << "[Options]\nTarget=Outlook\n"_ba << Targets << u"Outlook"_s << u"F11 F12"_s
                                 << u"110"_s << u"- Outlook"_s << u"Substring"_s;
    QTest::newRow("name in another case") << "[Options]\nTarget=OUTLOOK\n"_ba << Targets << u"Outlook"_s << u"F11 F12"_s
                                          << u"110"_s << u"- Outlook"_s << u"Substring"_s;
    QTest::newRow("no such section") << "[Options]\nTarget=Eudora\n"_ba << Targets << u"Notepad"_s << u"F11 F12"_s
                                     << u"110"_s << u"- Mousepad"_s << QString();
    QTest::newRow("no Target") << QByteArray() << Targets << u"Notepad"_s << u"F11 F12"_s << u"110"_s << u"- Mousepad"_s
                               << QString();
    QTest::newRow("section without a title")
        << "[Options]\nTarget=Bare\n"_ba << Targets << u"Bare"_s << u"F11 F12"_s << u"110"_s << u"Bare"_s << QString();
    QTest::newRow("Other") << "[Options]\nTarget=Other\n"_ba << Targets << u"Other"_s << u"F11 F12"_s << u"110"_s
                           << QString() << QString();
    QTest::newRow("no targets.ini") << "[Options]\nTarget=Outlook\n"_ba << QByteArray() << QString() << u"F11 F12"_s
                                    << u"110"_s << QString() << QString();
    QTest::newRow("the window I came from")
        << "[Options]\nTarget=the window I came from\n"_ba << QByteArray() << u"The window I came from"_s
        << u"F11 F12"_s << u"110"_s << u"The window I came from"_s << QString();
    QTest::newRow("keys and switches as written")
        << "[Options]\nHotKey=ctrl+shift+f12\nActivateKey=^F9\nRestoreClipboard=no\nDo Attachments=0\n"
           "Minimize On Close=YES\n"_ba
        << Targets << u"Notepad"_s << u"Ctrl+F9 Shift+Ctrl+F12"_s << u"001"_s << u"- Mousepad"_s << QString();
}

void TestOptions::opening()
{
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, targets);
    QFETCH(QString, destination);
    QFETCH(QString, keys);
    QFETCH(QString, switches);
    QFETCH(QString, targetWord);
    QFETCH(QString, matchType);
    QVERIFY(WriteFileBytes(optionsPath(), options));
    if (!targets.isEmpty())
        QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), targets));
    const auto dialog = openDialog();

    auto* list = child<QComboBox>(*dialog, "cmbDestinationApplication");
    // The window the user came from stands first, with or without targets.ini.
    QCOMPARE(list->count(), targets.isEmpty() ? 1 : 5);
    QCOMPARE(list->itemText(0), u"The window I came from"_s);
    QCOMPARE(list->currentIndex() < 0 ? QString() : list->currentText(), destination);
    QCOMPARE(child<HotKeyEdit>(*dialog, "hkActivate")->text() + u' ' + child<HotKeyEdit>(*dialog, "hkHotKey")->text(),
             keys);
    QString shownSwitches;
    for (const char* name : {"chkRestoreClipboard", "chkDoAttachments", "chkMinimizeOnClose"})
        shownSwitches += child<QCheckBox>(*dialog, name)->isChecked() ? u'1' : u'0';
    QCOMPARE(shownSwitches, switches);
    QCOMPARE(child<QLineEdit>(*dialog, "txtTargetWord")->text(), targetWord);
    auto* matchBox = child<QComboBox>(*dialog, "cmbWindowSearchType");
    QCOMPARE(matchBox->currentIndex() < 0 ? QString() : matchBox->currentText(), matchType);
    QVERIFY(!child<QWidget>(*dialog, "grpTargetApplication")->isVisible());
    QVERIFY(!child<QLabel>(*dialog, "lblActivateKeyRefused")->isVisible());
    QCOMPARE(ReadFileBytes(optionsPath()), options);
}

void TestOptions::okWritesInOrderThenApplies_data()
{
    QTest::addColumn<QByteArray>("targets");
    QTest::addColumn<QString>("choice"); // typed into the list; empty: left as opened
    QTest::addColumn<QByteArray>("written");
    const QByteArray keys = "[Options]\nHotKey=Shift+F11\nActivateKey=Alt+F9\n";
    const QByteArray switches = "Do Attachments=False\nRestoreClipboard=True\nMinimize On Close=True\n";
    QTest::newRow("a destination") << Targets << u"Outlook"_s
                                   << keys + "Window Search=Substring\n" + switches + "Target=Outlook\n";
    QTest::newRow("Notepad as opened") << Targets << QString()
                                       << keys + "Window Search=\n" + switches + "Target=Notepad\n";
    QTest::newRow("Other stores no Target")
        << Targets << u"Other"_s << keys + "Window Search=\n" + switches + "Target=\n";
    QTest::newRow("no targets.ini") << QByteArray() << QString() << keys + "Window Search=\n" + switches + "Target=\n";
    QTest::newRow("the window I came from") << Targets << u"The window I came from"_s
                                            << keys + "Window Search=\n" + switches + "Target=The window I came from\n";
}

void TestOptions::okWritesInOrderThenApplies()
{
    QFETCH(QByteArray, targets);
    QFETCH(QString, choice);
    QFETCH(QByteArray, written);
    if (!targets.isEmpty())
        QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), targets));
    const auto dialog = openDialog();
    if (!choice.isEmpty())
        QTest::keyClicks(child<QComboBox>(*dialog, "cmbDestinationApplication"), choice);
    QTest::keyClick(child<HotKeyEdit>(*dialog, "hkHotKey"), Qt::Key_F11, Qt::ShiftModifier);
    QTest::keyClick(child<HotKeyEdit>(*dialog, "hkActivate"), Qt::Key_F9, Qt::AltModifier);
    child<QCheckBox>(*dialog, "chkDoAttachments")->click();
    child<QCheckBox>(*dialog, "chkMinimizeOnClose")->click();
    child<QPushButton>(*dialog, "btnOK")->click();

    QCOMPARE(ReadFileBytes(optionsPath()), written);
    QCOMPARE(applied, 1);
    QCOMPARE(optionsWhenApplied, written);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(ui->shown.isEmpty());
}

void TestOptions::cancelWritesNothing()
{
    QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), Targets));
    const QByteArray options = "; mine\r\n[Options]\r\nTarget=Notepad\r\n";
    QVERIFY(WriteFileBytes(optionsPath(), options));
    const auto dialog = openDialog();
    QTest::keyClicks(child<QComboBox>(*dialog, "cmbDestinationApplication"), u"Outlook"_s);
    QTest::keyClick(child<HotKeyEdit>(*dialog, "hkHotKey"), Qt::Key_F5);
    QTest::keyClick(child<HotKeyEdit>(*dialog, "hkActivate"), Qt::Key_F6);
    for (const char* name : {"chkRestoreClipboard", "chkDoAttachments", "chkMinimizeOnClose"})
        child<QCheckBox>(*dialog, name)->click();
    child<QPushButton>(*dialog, "btnCancel")->click();
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(ReadFileBytes(optionsPath()), options);
    QCOMPARE(applied, 0);
}

void TestOptions::refusedWriteEndsOk()
{
    // A folder where the file should be: the first write is refused.
    QVERIFY(QDir(dir->path()).mkdir(u"options.ini"_s));
    const auto dialog = openDialog();
    child<QPushButton>(*dialog, "btnOK")->click();
    QCOMPARE(ui->texts(u"error"_s),
             QStringList{u"Unable to write to "_s + QDir::toNativeSeparators(optionsPath())
                         + u": Filename refers to a directory. The file was left as it was."_s});
    QCOMPARE(applied, 0);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

void TestOptions::fullDiskLeavesFilesAsTheyWere_data()
{
    QTest::addColumn<bool>("destinations"); // the Destinations dialog's OK, else the Options dialog's
    QTest::newRow("Options") << false;
    QTest::newRow("Destinations") << true;
}

void TestOptions::fullDiskLeavesFilesAsTheyWere()
{
    if (!FullDisk::available())
        QSKIP("no file size limit on this system");
    QFETCH(bool, destinations);
    const QString targetsPath = dir->filePath(u"targets.ini"_s);
    QVERIFY(WriteFileBytes(targetsPath, Targets));
    const QByteArray options = "; mine\r\n[Options]\r\nTarget=Notepad\r\nHotKey=F9\r\n";
    QVERIFY(WriteFileBytes(optionsPath(), options));
    const QString path = destinations ? targetsPath : optionsPath();
    const auto dialog = openDialog();
    std::unique_ptr<TfrmDestinations> editor;
    QDialog* closing = dialog.get();
    if (destinations) {
        // Several changes, each of which alone makes the file grow.
        editor = std::make_unique<TfrmDestinations>(fake.windows, *ui, u"Outlook"_s);
        editor->open();
        ui->inputAnswers = {u"Renamed"_s, u"Added"_s};
        child<QPushButton>(*editor, "btnRename")->click();
        child<QPushButton>(*editor, "btnAdd")->click();
        closing = editor.get();
    } else {
        QTest::keyClicks(child<QComboBox>(*dialog, "cmbDestinationApplication"), u"Outlook"_s);
        child<QCheckBox>(*dialog, "chkMinimizeOnClose")->click();
    }
    {
        const FullDisk full;
        child<QPushButton>(*closing, "btnOK")->click();
    }
    QCOMPARE(ui->texts(u"error"_s),
             QStringList{u"Unable to write to %1: %2. The file was left as it was."_s.arg(
                 QDir::toNativeSeparators(path), FullDisk::reason())});
    QCOMPARE(ReadFileBytes(optionsPath()), options);
    QCOMPARE(ReadFileBytes(targetsPath), Targets);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"options.ini"_s, u"targets.ini"_s}));
    QCOMPARE(applied, 0);
    // The Destinations dialog stays open to try again; the Options dialog closes as refused.
    QCOMPARE(closing->isVisible(), destinations);
    if (destinations) {
        child<QPushButton>(*closing, "btnOK")->click();
        QCOMPARE(IniFile(targetsPath).sectionNames(),
                 (QStringList{u"Renamed"_s, u"Notepad"_s, u"Bare"_s, u"Other"_s, u"Added"_s}));
    }
}

void TestOptions::twoDialogsWriteOnlyWhatEachChanged_data()
{
    QTest::addColumn<QByteArray>("before"); // options.ini when both open
    QTest::addColumn<QString>("firstChanges"); // keys pressed in hkHotKey, then 'm' to click the minimise switch
    QTest::addColumn<QString>("secondChanges");
    QTest::addColumn<QString>("result"); // HotKey, Minimize On Close, Target after the second's OK, then the first's
    const QByteArray all = "[Options]\nHotKey=F12\nActivateKey=F11\nWindow Search=\nDo Attachments=True\n"
                           "RestoreClipboard=True\nMinimize On Close=False\nTarget=Outlook\n";
    QTest::newRow("different keys") << all << u"5"_s << u"m"_s << u"F5 True Outlook"_s;
    QTest::newRow("the same key: the later OK wins") << all << u"5"_s << u"6"_s << u"F5 False Outlook"_s;
    QTest::newRow("an unchanged dialog keeps the other's") << all << QString() << u"5m"_s << u"F5 True Outlook"_s;
    QTest::newRow("missing keys are filled in, not over the other's")
        << QByteArray("[Options]\nTarget=Outlook\n") << QString() << u"5m"_s << u"F5 True Outlook"_s;
    QTest::newRow("a key in another form is rewritten unless the other changed it")
        << QByteArray("[Options]\nHotKey=ctrl+shift+f12\nTarget=Outlook\n") << u"m"_s << u"5"_s << u"F5 True Outlook"_s;
    QTest::newRow("a key in another form, changed by neither")
        << QByteArray("[Options]\nHotKey=ctrl+shift+f12\nTarget=Outlook\n") << u"m"_s << QString()
        << u"Shift+Ctrl+F12 True Outlook"_s;
}

void TestOptions::twoDialogsWriteOnlyWhatEachChanged()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, firstChanges);
    QFETCH(QString, secondChanges);
    QFETCH(QString, result);
    QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), Targets));
    QVERIFY(WriteFileBytes(optionsPath(), before));
    // Two dialogs on one file, as two programs would have them.
    const auto first = openDialog();
    const auto second = openDialog();
    const auto change = [](TfrmOptions& dialog, const QString& changes) {
        for (const QChar c : changes) {
            if (c == u'm')
                child<QCheckBox>(dialog, "chkMinimizeOnClose")->click();
            else
                QTest::keyClick(child<HotKeyEdit>(dialog, "hkHotKey"), Qt::Key(Qt::Key_F1 + c.digitValue() - 1));
        }
    };
    change(*first, firstChanges);
    change(*second, secondChanges);
    child<QPushButton>(*second, "btnOK")->click();
    child<QPushButton>(*first, "btnOK")->click();
    QVERIFY(ui->shown.isEmpty());
    const IniFile ini(optionsPath());
    QCOMPARE(QStringList({ini.readText(u"Options"_s, u"HotKey"_s, {}),
                          ini.readText(u"Options"_s, u"Minimize On Close"_s, {}),
                          ini.readText(u"Options"_s, u"Target"_s, {})})
                 .join(u' '),
             result);
}

void TestOptions::manyDestinations()
{
    // A targets.ini of 100,000 destinations, about 5 MB: every one is listed, in file order.
    constexpr int count = 100000;
    QByteArray targets;
    for (int i = 0; i < count; ++i)
        targets += "[Program " + QByteArray::number(i) + "]\nTarget=- Window title number " + QByteArray::number(i)
            + "\nSearch Type=Substring\n";
    QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), targets));
    QVERIFY(WriteFileBytes(optionsPath(), "[Options]\nTarget=program 99999\n"));
    const auto dialog = openDialog();
    auto* list = child<QComboBox>(*dialog, "cmbDestinationApplication");
    QCOMPARE(list->count(), count + 1);
    QCOMPARE(list->itemText(1), u"Program 0"_s);
    QCOMPARE(list->currentText(), u"Program 99999"_s);
    QCOMPARE(child<QLineEdit>(*dialog, "txtTargetWord")->text(), u"- Window title number 99999"_s);

    // The destinations editor reads the file once, not once per key.
    TfrmDestinations editor(fake.windows, *ui, u"Program 50000"_s);
    QCOMPARE(editor.CurrentDestination(), u"Program 50000"_s);
    QCOMPARE(child<QTableWidget>(editor, "grdEntries")->item(0, 0)->text(), u"- Window title number 50000"_s);
}

void TestOptions::startAtLogin()
{
    QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), Targets));
    {
        // Without a desktop that offers it, the switch is not shown.
        const auto dialog = openDialog();
        QVERIFY(child<QCheckBox>(*dialog, "chkStartAtLogin")->isHidden());
    }
    FakePlatform desktop;
    for (const bool before : {false, true}) {
        desktop.loginStart.enabled = before;
        const auto dialog = openDialog(&desktop.platform);
        QCheckBox* box = child<QCheckBox>(*dialog, "chkStartAtLogin");
        QVERIFY(!box->isHidden());
        QCOMPARE(box->isChecked(), before);
        box->click();
        child<QPushButton>(*dialog, "btnCancel")->click();
        QCOMPARE(desktop.loginStart.enabled, before);
        const auto again = openDialog(&desktop.platform);
        child<QCheckBox>(*again, "chkStartAtLogin")->click();
        child<QPushButton>(*again, "btnOK")->click();
        QCOMPARE(desktop.loginStart.enabled, !before);
    }
}

void TestOptions::typingKeyNeedsCtrlOrAlt_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("key"); // pressed in the activation key's field; 0 for none
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("written"); // ActivateKey after OK; empty: OK refuses
    const auto none = Qt::KeyboardModifiers();
    const auto press = [&](const char* row, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& written) {
        QTest::newRow(row) << QByteArray() << int(key) << modifiers << written;
    };
    press("K", Qt::Key_K, none, {});
    press("Shift+K", Qt::Key_K, Qt::ShiftModifier, {});
    press("digit", Qt::Key_7, none, {});
    press("punctuation", Qt::Key_Minus, none, {});
    press("number pad", Qt::Key_5, Qt::KeypadModifier, {});
    press("Space", Qt::Key_Space, none, {});
    press("Ctrl+K", Qt::Key_K, Qt::ControlModifier, u"Ctrl+K"_s);
    press("Alt+K", Qt::Key_K, Qt::AltModifier, u"Alt+K"_s);
    press("Ctrl+Shift+K", Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, u"Shift+Ctrl+K"_s);
    press("F9", Qt::Key_F9, none, u"F9"_s);
    press("Shift+Home", Qt::Key_Home, Qt::ShiftModifier, u"Shift+Home"_s);
    QTest::newRow("stored K") << "[Options]\nActivateKey=k\n"_ba << 0 << none << QString();
    QTest::newRow("stored K, then emptied")
        << "[Options]\nActivateKey=k\n"_ba << int(Qt::Key_Backspace) << none << u""_s;
}

void TestOptions::typingKeyNeedsCtrlOrAlt()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, written);
    QVERIFY(WriteFileBytes(optionsPath(), stored));
    const auto dialog = openDialog();
    auto* field = child<HotKeyEdit>(*dialog, "hkActivate");
    if (key != 0)
        QTest::keyClick(field, Qt::Key(key), modifiers);
    const bool refused = written.isNull();
    QCOMPARE(child<QLabel>(*dialog, "lblActivateKeyNeedsModifier")->isVisible(), refused);

    child<QPushButton>(*dialog, "btnOK")->click();
    QCOMPARE(dialog->isVisible(), refused);
    if (refused) {
        QCOMPARE(ReadFileBytes(optionsPath()), stored);
        QCOMPARE(applied, 0);
        QCOMPARE(dialog->focusWidget(), field);
    } else {
        QCOMPARE(IniFile(optionsPath()).readText(u"Options"_s, u"ActivateKey"_s, u"unset"_s), written);
        QCOMPARE(applied, 1);
    }
}

void TestOptions::notesGrowTheWindow_data()
{
    QTest::addColumn<bool>("typingKey");
    QTest::addColumn<bool>("refusedKey");
    QTest::newRow("no note") << false << false;
    QTest::newRow("key that types") << true << false;
    QTest::newRow("key held by another program") << false << true;
    QTest::newRow("both") << true << true;
}

void TestOptions::notesGrowTheWindow()
{
    QFETCH(bool, typingKey);
    QFETCH(bool, refusedKey);
    QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), Targets));
    keyRefused = refusedKey;
    const auto dialog = openDialog();
    if (typingKey)
        QTest::keyClick(child<HotKeyEdit>(*dialog, "hkActivate"), Qt::Key_K);
    QCOMPARE(child<QLabel>(*dialog, "lblActivateKeyNeedsModifier")->isVisible(), typingKey);
    QCOMPARE(child<QLabel>(*dialog, "lblActivateKeyRefused")->isVisible(), refusedKey);
    QApplication::processEvents();

    QList<QWidget*> shown;
    for (QWidget* widget : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (widget->isVisible())
            shown.append(widget);
    }
    QVERIFY(shown.size() > 10);
    for (const QWidget* widget : std::as_const(shown)) {
        const QString name = widget->objectName();
        QVERIFY2(dialog->rect().contains(widget->geometry()), qPrintable(name));
        const int needed = widget->hasHeightForWidth() ? widget->heightForWidth(widget->width())
                                                       : widget->minimumSizeHint().height();
        QVERIFY2(widget->height() >= needed, qPrintable(name));
        for (const QWidget* other : std::as_const(shown)) {
            if (other != widget)
                QVERIFY2(!widget->geometry().intersects(other->geometry()),
                         qPrintable(name + u' ' + other->objectName()));
        }
    }
}

void TestOptions::opensAtDesignWidthCentred()
{
    QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), Targets));
    const auto dialog = openDialog();
    QApplication::processEvents();
    QCOMPARE(dialog->width(), 329);
    QVERIFY(dialog->height() >= 462);
    const QPoint offCentre = dialog->geometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    QVERIFY2(qAbs(offCentre.x()) <= 3 && qAbs(offCentre.y()) <= 3 + UnknownFrameHeight(*dialog),
             qPrintable(u"%1,%2"_s.arg(offCentre.x()).arg(offCentre.y())));
    // The long switch's caption wraps beside its box.
    const auto* caption = child<QLabel>(*dialog, "lblRestoreClipboard");
    QVERIFY(caption->height() > 2 * caption->fontMetrics().height() - 2);
}

void TestOptions::captionBesideCheckBoxClicksIt()
{
    const auto dialog = openDialog();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    auto* box = child<QCheckBox>(*dialog, "chkRestoreClipboard");
    const bool before = box->isChecked();
    QTest::mouseClick(child<QLabel>(*dialog, "lblRestoreClipboard"), Qt::LeftButton);
    QCOMPARE(box->isChecked(), !before);
    QCOMPARE(dialog->focusWidget(), box);
    child<QPushButton>(*dialog, "btnOK")->setFocus();
    QTest::keyClick(dialog.get(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(box->isChecked(), before);
}

void TestOptions::acceleratorsUniquePerWindow_data()
{
    QTest::addColumn<bool>("options");
    QTest::newRow("Options") << true;
    QTest::newRow("Destinations") << false;
}

void TestOptions::acceleratorsUniquePerWindow()
{
    QFETCH(bool, options);
    QVERIFY(WriteFileBytes(dir->filePath(u"targets.ini"_s), Targets));
    std::unique_ptr<QDialog> dialog;
    if (options)
        dialog = openDialog();
    else
        dialog = std::make_unique<TfrmDestinations>(fake.windows, *ui, u"Outlook"_s);
    // Every caption of the window, hidden ones too: they may show one day.
    QStringList captions;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        captions << label->text();
    for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        captions << button->text();
    for (const QGroupBox* group : dialog->findChildren<QGroupBox*>())
        captions << group->title();
    QCOMPARE(RepeatedMnemonics(captions), QStringList());
    QVERIFY(captions.filter(u"&"_s).size() > 6);
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
