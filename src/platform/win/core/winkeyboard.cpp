#include "platform/win/core/winapi.h"

namespace WinCore {

std::uint8_t scanCode(std::uint16_t virtualKey)
{
    return static_cast<std::uint8_t>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
}

void keyEvent(std::uint16_t virtualKey, std::uint8_t scan, std::uint32_t flags)
{
    keybd_event(static_cast<BYTE>(virtualKey), scan, flags & (KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP), 0);
}

bool waitUntilModifiersReleased(int timeoutMs)
{
    static constexpr int Modifiers[] = {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN};
    return waitHandlingSentMessages(
        [] {
            for (const int key : Modifiers) {
                if (GetAsyncKeyState(key) & 0x8000)
                    return false;
            }
            return true;
        },
        timeoutMs);
}

} // namespace WinCore
