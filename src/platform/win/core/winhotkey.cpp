#include "platform/win/core/winapi.h"

#include <atomic>

namespace WinCore {

namespace {

// Hot-key identifiers unique in the process, in the range left to programs.
int nextHotKeyId()
{
    static std::atomic<int> next{1};
    return next++ % 0xBFFF + 1;
}

UINT hotKeyModifiers(std::uint8_t shiftState)
{
    UINT modifiers = 0;
    if (shiftState & 1)
        modifiers |= MOD_SHIFT;
    if (shiftState & 2)
        modifiers |= MOD_ALT;
    if (shiftState & 4)
        modifiers |= MOD_CONTROL;
    return modifiers;
}

} // namespace

struct HotKey::State {
    const int id = nextHotKeyId();
    bool registered = false;
    std::function<void()> callback;
    std::unique_ptr<MessageWindow> window;
};

HotKey::HotKey()
    : m_state(std::make_unique<State>())
{
    m_state->window = std::make_unique<MessageWindow>(
        [state = m_state.get()](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
            if (message != WM_HOTKEY || static_cast<int>(wParam) != state->id)
                return false;
            result = 0;
            // The callback may change the key or this callback: run a copy.
            if (const std::function<void()> callback = state->callback)
                callback();
            return true;
        });
}

HotKey::~HotKey()
{
    clear();
}

bool HotKey::set(std::uint16_t virtualKey, std::uint8_t shiftState)
{
    clear();
    m_state->registered
        = RegisterHotKey(m_state->window->handle(), m_state->id, hotKeyModifiers(shiftState), virtualKey) != FALSE;
    return m_state->registered;
}

void HotKey::clear()
{
    if (!m_state->registered)
        return;
    UnregisterHotKey(m_state->window->handle(), m_state->id);
    m_state->registered = false;
}

void HotKey::setCallback(std::function<void()> callback)
{
    m_state->callback = std::move(callback);
}

} // namespace WinCore
