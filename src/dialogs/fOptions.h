#pragma once

#include "settings/hotkeytext.h"
#include "settings/inifile.h"

#include <QDialog>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

class Options;

// What the options dialog needs of the main window.
class Interaction;
struct Platform;

struct OptionsHooks {
    // Applies options.ini to the main window (send key and caption, activation key).
    std::function<void()> applyOptions;
    // True when the desktop refused the main window's activation key (another program
    // holds it).
    std::function<bool()> activationKeyRefused;
};

// The destination application, the two hot keys and three switches of options.ini.
// Modal, made for one use. OK writes, in one save, the values changed in the dialog and
// those the file lacks or holds in another form, unless someone else changed that key
// since the dialog opened; every other key keeps what the file holds then. It applies
// them; any other way out writes nothing.
namespace Ui {
class TfrmOptions;
}

class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    TfrmOptions(Options& options, Platform& desktop, Interaction& boxes, OptionsHooks hooks, QWidget* parent = nullptr);
    ~TfrmOptions() override;

    // Selects the destination by name (Notepad for an unknown one) and shows its target
    // word and match type.
    void SelectDestination(const QString& name);

private:
    // One setting and its widget: how the widget shows the setting on opening, and how
    // OK stores what the widget holds. A missing half does nothing.
    struct Binding {
        std::function<void(const Options&)> show;
        std::function<void(Options&)> store;
    };
    QList<Binding> Bindings();

    void FillDestinations();
    void LoadOptions();
    // What OK would store now, in the order it writes it.
    QList<IniFile::Entry> ShownValues() const;
    // Remembers the values shown and the file's texts of their keys, as OK compares them.
    void RememberShown();
    void btnOKClick();
    void btnDestinationsClick();
    // Shows the note beside the activation key while the desktop refuses it; true then.
    bool ShowActivationKeyRefusal();
    // Shows the note beside the activation key while it holds a key that types text
    // without Ctrl or Alt; true then. OK refuses such a key.
    bool ShowTypingKeyNote();
    void FitHeight();
    QString Destination() const;

    const std::unique_ptr<Ui::TfrmOptions> ui;
    Options& m_options;
    Platform& m_desktop;
    Interaction& m_boxes;
    OptionsHooks m_hooks;
    // Every setting of the dialog with its widget, in the order OK writes them.
    QList<Binding> m_bindings;
    // As ShownValues gave them at opening (or the last OK), and the file's texts of their
    // keys then; no value for a missing key.
    QList<IniFile::Entry> m_shown;
    QList<std::optional<QString>> m_fileTexts;
    // targets.ini as read when the list was filled, for the list and the selected entry.
    IniFile m_targets;
    // The refused key that the note already told of; OK with it again closes the dialog.
    HotKey m_refusalShown;
};
