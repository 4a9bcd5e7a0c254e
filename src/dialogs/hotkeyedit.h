#pragma once

#include "settings/hotkeytext.h"

#include <QLineEdit>

// A field that takes one key press with its Shift, Ctrl and Alt and shows it in the hot-key
// text of the settings files. Tab and Shift+Tab move on, Enter and Esc go to the dialog,
// Backspace and Del alone empty the field.
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
