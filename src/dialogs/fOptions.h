#pragma once

#include "settings/hotkeytext.h"

#include <QDialog>

#include <memory>

#include <functional>

// What the options dialog needs of the main window.
struct OptionsHooks {
    // Applies options.ini to the main window (send key and caption, activation key).
    std::function<void()> applyOptions;
    // True when the desktop refused the main window's activation key (another program
    // holds it).
    std::function<bool()> activationKeyRefused;
};

// The destination application, the two hot keys and three switches of options.ini.
// Modal, made for one use. OK writes every value and applies them; any other way out
// writes nothing.
namespace Ui {
class TfrmOptions;
}

class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOptions(OptionsHooks hooks, QWidget* parent = nullptr);
    ~TfrmOptions() override;

    // Selects the destination by name (Notepad for an unknown one) and shows its target
    // word and match type.
    void SelectDestination(const QString& name);

private:
    void FillDestinations();
    void LoadOptions();
    void btnOKClick();
    void btnDestinationsClick();
    // Shows the note beside the activation key while the desktop refuses it; true then.
    bool ShowActivationKeyRefusal();
    QString Destination() const;

    std::unique_ptr<Ui::TfrmOptions> m_ui;
    OptionsHooks m_hooks;
    // The refused key that the note already told of; OK with it again closes the dialog.
    HotKey m_refusalShown;
};
