#pragma once

// Shared by the core's sources: the Windows headers and small helpers around them.

#include "platform/win/core/wincore.h"

#include <windows.h>

#include <cstdint>
#include <functional>

namespace WinCore {

inline HWND toHwnd(Handle window)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

inline Handle toHandle(HWND window)
{
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(window));
}

// The process that made the window; 0 for no window.
inline DWORD processOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// Waits for up to timeoutMs until done() holds, handling meanwhile only the messages
// that other threads send to this one (posted input stays queued).
bool waitHandlingSentMessages(const std::function<bool()>& done, int timeoutMs);

// A hidden message-only window whose messages go to a handler; messages the handler
// leaves (answering false) get the default handling.
class MessageWindow {
public:
    using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
    explicit MessageWindow(Handler handler);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND handle() const { return m_window; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler m_handler;
    HWND m_window = nullptr;
};

} // namespace WinCore
