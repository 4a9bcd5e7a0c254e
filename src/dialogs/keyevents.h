#pragma once

#include "settings/hotkeytext.h"

#include <QtGlobal>

class QKeyEvent;

// The virtual-key code (Windows numbering) of a Qt key on a US layout; 0 for keys without
// one. keypad tells the number pad's keys from the main block's.
std::uint16_t VirtualKeyFromQtKey(int qtKey, bool keypad);
// The key press as a key and its set of Shift, Alt and Ctrl.
HotKey HotKeyFromKeyEvent(const QKeyEvent& event);
