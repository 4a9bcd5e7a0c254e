#pragma once

#include "platform/platform.h"
#include "settings/hotkeytext.h"

#include <QString>

class Interaction;
class Options;

// The key as a sway configuration's bindsym names it ("Ctrl+Alt+F11", "Shift+a",
// "Prior"); empty for a key that has no such name.
QString SwayKeyName(const HotKey& key);

// What works on the desktop and what does not, why, and where the desktop holds no key for
// the program, the commands to bind in its shortcut settings (with the lines for sway's
// configuration on sway); empty where everything works. program is the executable's full
// path.
QString DesktopNoticeText(const DesktopAbilities& abilities, const QString& program, const HotKey& activateKey,
                          const HotKey& sendKey);

// Shows the notice once for each desktop and set of abilities, which options.ini remembers;
// the keys named are those of options.ini.
void ShowDesktopNoticeOnce(const DesktopAbilities& abilities, Options& options, Interaction& boxes,
                           const QString& program);
