#pragma once

#include "settings/hotkeytext.h"

#include <QLineEdit>

// A field that takes one key press and shows it in the hot-key text of the settings files.
// A key alone, Shift+key and Alt+key are kept; Ctrl, or two or more modifiers, leave the key
// alone. Tab and Shift+Tab move on, Enter and Esc go to the dialog, Backspace and Del alone
// empty the field.
class HotKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit HotKeyEdit(QWidget* parent = nullptr);

    // The key as the settings read its text back.
    HotKey hotKey() const { return m_hotKey; }
    void setHotKey(HotKey key);

Q_SIGNALS:
    void hotKeyChanged();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    HotKey m_hotKey;
};

// The combination that a hot-key field keeps of a key press: Ctrl, or two or three
// modifiers together, leave the key alone.
HotKey AcceptedHotKey(HotKey pressed);
