#pragma once

#include "platform/platform.h"

#include <QString>

class IniFile;

// The destination whose window is the one the user called the program up from, whatever
// program that is; it has no entries in targets.ini.
inline constexpr QStringView CameFromDestination = u"The window I came from";

// The window of the destination program named target, found by its entries in targets.ini
// and brought to the front; 0 when none is found.
[[nodiscard]] WindowHandle FindDestinationWindow(WindowSystem& windows, const QString& target);
// The same window, left where it is.
[[nodiscard]] WindowHandle LookUpDestinationWindow(WindowSystem& windows, const QString& target);
// Asks for the window to become the active one and puts it on top.
void BringWindowForward(WindowSystem& windows, WindowHandle window);

// One pass over the top-level windows, topmost first, the program's own left out: with
// startsWith the first window whose title starts with the pattern, else the first window
// without an owner whose title holds it further on. Brings the window found to the front; 0 when none matches.
WindowHandle FindTitledWindow(WindowSystem& windows, const QString& pattern, bool startsWith);

// How many characters of a title take part in the match.
inline constexpr qsizetype MatchedTitleLength = 253;

// Entries of a destination in targets.ini, numbered 1 to 9.
inline constexpr int TargetEntryCount = 9;

// The role of an entry that takes only windows without a role, as every window of a Wayland
// desktop is.
inline constexpr QStringView NoWindowRole = u"(none)";

// One entry of a destination: a title pattern with its match mode, and optionally the
// window's class and role. An entry with a class finds only windows of that class (or of
// one of its classes, separated by "|": the X11 class and the app ids a program has on
// Wayland), and with a role only windows whose role starts with it (programs number their
// roles, as "EMsgComposer-1234"), or with NoWindowRole only windows without one; without a
// title pattern it finds any such window that has no owner. Class and role ignore case. An
// entry with neither pattern nor class finds nothing.
// Titles that hold one of the texts of exceptTitles (separated by "|", case ignored) are
// passed over: a program's main window that shares its class with the composer, whose
// title is anything the user types.
struct TargetEntry {
    QString title;
    QString searchType;
    QString className;
    QString role;
    QString exceptTitles;
    bool isEmpty() const { return title.isEmpty() && className.isEmpty(); }
    friend bool operator==(const TargetEntry&, const TargetEntry&) = default;
};

// The key of entry n: the plain name for entry 1, the name followed by the digit for 2 to 9.
QString TargetEntryKey(const QString& name, int entry);
TargetEntry ReadTargetEntry(const IniFile& targets, const QString& destination, int entry);
// The window that the entry finds now, in its match mode, without bringing it forward.
[[nodiscard]] WindowHandle FindEntryWindow(WindowSystem& windows, const TargetEntry& entry);
// Every window that the pass deciding for the entry matches, topmost (the one found) first.
[[nodiscard]] QList<WindowHandle> FindEntryWindows(WindowSystem& windows, const TargetEntry& entry);
