#pragma once

#include "platform/platform.h"

#include <QString>

// The destination application's window, found by the title entries of targets.ini and
// brought to the front. Shows its own message when none is found and then gives 0.
WindowHandle FindDestinationWindow();

// One pass over the top-level windows, topmost first, the program's own left out: with
// startsWith the first window whose title starts with the pattern, else the first window
// without an owner whose title holds it further on. Brings the window found to the front; 0 when none matches.
WindowHandle FindTitledWindow(const QString& pattern, bool startsWith);

// How many characters of a title take part in the match.
inline constexpr qsizetype MatchedTitleLength = 253;
