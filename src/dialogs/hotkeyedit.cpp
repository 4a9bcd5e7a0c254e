#include "dialogs/hotkeyedit.h"

#include "dialogs/keyevents.h"

#include <QKeyEvent>

using namespace Qt::StringLiterals;

namespace {

bool IsModifierKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R: return true;
    default: return false;
    }
}

bool IsPlain(const QKeyEvent& event)
{
    return (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// Keys that keep their meaning in a dialog instead of becoming the field's key.
bool BelongsToDialog(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return IsPlain(event);
    default: return false;
    }
}

} // namespace

HotKeyEdit::HotKeyEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
    setPlaceholderText(u"None"_s);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void HotKeyEdit::setHotKey(HotKey key)
{
    // The key as its text reads back: the number pad's digits are the main block's.
    const QString text = HotKeyToText(key);
    m_hotKey = TextToHotKey(text);
    setText(text);
    Q_EMIT hotKeyChanged();
}

bool HotKeyEdit::event(QEvent* event)
{
    // Alt+letter and the like come to the field rather than to the dialog's accelerators.
    if (event->type() == QEvent::ShortcutOverride) {
        if (!BelongsToDialog(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void HotKeyEdit::keyPressEvent(QKeyEvent* event)
{
    if (BelongsToDialog(*event)) {
        event->ignore();
        return;
    }
    event->accept();
    if (IsModifierKey(event->key()))
        return;
    if (IsPlain(*event) && (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)) {
        setHotKey({});
        return;
    }
    const HotKey pressed = HotKeyFromKeyEvent(*event);
    if (pressed.key != 0)
        setHotKey(pressed);
}
