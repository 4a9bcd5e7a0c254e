#include "delivery/keyinput.h"

#include "util/virtualkeys.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::uint8_t, std::uint16_t>, 3> ModifierKeys{{
    {ShiftState::Ctrl, Vk::Control},
    {ShiftState::Shift, Vk::Shift},
    {ShiftState::Alt, Vk::Menu},
}};

} // namespace

void SendKeyPress(KeyboardSynth& keyboard, std::uint16_t key, std::uint8_t modifiers, bool extended)
{
    for (const auto& [bit, vk] : ModifierKeys) {
        if (modifiers & bit)
            keyboard.keyEvent(vk, keyboard.scanCode(vk), 0);
    }
    const std::uint32_t flags = extended ? std::uint32_t(KeyboardSynth::ExtendedKey) : 0;
    const std::uint8_t scan = keyboard.scanCode(key);
    keyboard.keyEvent(key, scan, flags);
    keyboard.keyEvent(key, scan, flags | KeyboardSynth::KeyUp);
    for (auto row = ModifierKeys.rbegin(); row != ModifierKeys.rend(); ++row) {
        if (modifiers & row->first)
            keyboard.keyEvent(row->second, keyboard.scanCode(row->second), KeyboardSynth::KeyUp);
    }
}

bool BringWindowToForeground(WindowSystem& windows, WindowHandle window)
{
    if (windows.isMinimized(window))
        windows.restoreWindow(window);
    if (windows.activeWindow() == window)
        return true;
    windows.requestActivation(window);
    windows.raiseWindow(window);
    return windows.waitUntilActive(window, ForegroundWaitMs);
}
