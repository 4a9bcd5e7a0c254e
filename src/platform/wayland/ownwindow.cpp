#include "platform/wayland/ownwindow.h"

#include "platform/wayland/waylandconnection.h"

namespace {

constexpr int MappingWaitMs = 1000;

WindowHandle FindOwn(WindowSystem& windows, const QString& title)
{
    WindowHandle startingWith = 0;
    for (const WindowHandle window : windows.topLevelWindows()) {
        if (!windows.isOwnWindow(window))
            continue;
        const QString listed = windows.windowTitle(window);
        if (listed == title)
            return window;
        if (!startingWith && listed.startsWith(title))
            startingWith = window;
    }
    return startingWith;
}

} // namespace

WindowHandle ListedOwnWindow(WindowSystem& windows, WaylandConnection& wayland, const QString& title)
{
    WindowHandle found = 0;
    (void)wayland.waitFor(
        [&] {
            found = FindOwn(windows, title);
            return found != 0;
        },
        MappingWaitMs);
    return found;
}
