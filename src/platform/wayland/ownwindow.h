#pragma once

#include "platform/platform.h"

class WaylandConnection;

// The listed window of this program with that title (else the first of its windows whose
// title begins with it); a window just shown is listed once the compositor maps it, so this
// waits up to a second for it. 0 when none is listed by then.
WindowHandle ListedOwnWindow(WindowSystem& windows, WaylandConnection& wayland, const QString& title);
