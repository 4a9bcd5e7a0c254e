#include "platform/win/core/winapi.h"

namespace WinCore {

Failure::Failure(std::wstring text)
    : m_text(std::move(text))
{ }

const char* Failure::what() const noexcept
{
    return "Windows desktop failure";
}

namespace {

constexpr wchar_t WindowClassName[] = L"QuillbayMessageWindow";

ATOM registeredClass()
{
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = WindowClassName;
        return RegisterClassExW(&windowClass);
    }();
    return atom;
}

} // namespace

MessageWindow::MessageWindow(Handler handler)
    : m_handler(std::move(handler))
{
    if (!registeredClass())
        throw Failure(L"Cannot register the program's message window class");
    m_window = CreateWindowExW(0, WindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    if (!m_window)
        throw Failure(L"Cannot create the program's message window");
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageWindow::procedure));
}

MessageWindow::~MessageWindow()
{
    DestroyWindow(m_window);
}

LRESULT CALLBACK MessageWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self && self->m_handler(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool waitHandlingSentMessages(const std::function<bool()>& done, int timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    // Some states (the foreground window) change without a message to this thread, so
    // the wait also looks again every few milliseconds.
    constexpr DWORD PollMs = 5;
    for (;;) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD left = static_cast<DWORD>(deadline - now);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left < PollMs ? left : PollMs, QS_SENDMESSAGE);
    }
}

} // namespace WinCore
