#include "platform/win/core/winapi.h"

namespace WinCore {

namespace {

// Titles and class names are read into 255 characters with a limit of 254, so at most
// the first 253 characters take part.
constexpr int NameLimit = 254;

BOOL CALLBACK collectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<Handle>*>(list)->push_back(toHandle(window));
    return TRUE;
}

struct SystemVersion {
    unsigned platformId = VER_PLATFORM_WIN32_NT;
    unsigned major = 0;
    unsigned minor = 0;
};

const SystemVersion& systemVersion()
{
    static const SystemVersion version = [] {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        SystemVersion read;
        // Deprecated, but the foreground rule is stated in its numbers.
#ifdef __GNUC__
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
        if (GetVersionExW(&info)) {
#ifdef __GNUC__
#pragma GCC diagnostic pop
#endif
            read.platformId = info.dwPlatformId;
            read.major = info.dwMajorVersion;
            read.minor = info.dwMinorVersion;
        }
        return read;
    }();
    return version;
}

void raiseAndActivate(HWND window)
{
    BringWindowToTop(window);
    SetForegroundWindow(window);
}

} // namespace

std::vector<Handle> topLevelWindows()
{
    std::vector<Handle> windows;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring windowTitle(Handle window)
{
    wchar_t buffer[NameLimit + 1] = {};
    const int length = GetWindowTextW(toHwnd(window), buffer, NameLimit);
    return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::wstring windowClass(Handle window)
{
    wchar_t buffer[NameLimit + 1] = {};
    const int length = GetClassNameW(toHwnd(window), buffer, NameLimit);
    return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

Handle windowOwner(Handle window)
{
    return toHandle(GetParent(toHwnd(window)));
}

Handle foregroundWindow()
{
    return toHandle(GetForegroundWindow());
}

bool isMinimized(Handle window)
{
    return IsIconic(toHwnd(window));
}

void restoreWindow(Handle window)
{
    ShowWindow(toHwnd(window), SW_RESTORE);
}

void raiseWindow(Handle window)
{
    BringWindowToTop(toHwnd(window));
}

bool isOwnWindow(Handle window)
{
    return window != 0 && processOf(toHwnd(window)) == GetCurrentProcessId();
}

bool hasNotificationArea()
{
    return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

bool hasForegroundLock(unsigned platformId, unsigned major, unsigned minor)
{
    if (platformId == VER_PLATFORM_WIN32_NT)
        return major > 4;
    return major > 4 || (major == 4 && minor > 0);
}

bool forceForeground(Handle window)
{
    HWND target = toHwnd(window);
    if (GetForegroundWindow() == target)
        return true;
    const SystemVersion& version = systemVersion();
    if (!hasForegroundLock(version.platformId, version.major, version.minor)) {
        raiseAndActivate(target);
        return GetForegroundWindow() == target;
    }

    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD ownThread = GetWindowThreadProcessId(target, nullptr);
    bool done = false;
    if (AttachThreadInput(ownThread, foregroundThread, TRUE)) {
        raiseAndActivate(target);
        AttachThreadInput(ownThread, foregroundThread, FALSE);
        done = GetForegroundWindow() == target;
    }
    if (!done) {
        // The time-out is system-wide: put it back right after the attempt.
        DWORD savedTimeout = 0;
        SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &savedTimeout, 0);
        SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
        raiseAndActivate(target);
        SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                              reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(savedTimeout)), SPIF_SENDCHANGE);
    }
    return GetForegroundWindow() == target;
}

bool bringWindowToForeground(Handle window)
{
    if (isMinimized(window))
        restoreWindow(window);
    return forceForeground(window);
}

bool waitUntilForeground(Handle window, int timeoutMs)
{
    return waitHandlingSentMessages([window] { return foregroundWindow() == window; }, timeoutMs);
}

} // namespace WinCore
