#include "platform/win/core/winapi.h"

#include <shlobj.h>

#include <cstring>
#include <map>

namespace WinCore {

namespace {

constexpr wchar_t CannotOpenClipboard[] = L"Cannot open clipboard";
constexpr wchar_t ShellIdListFormatName[] = L"Shell IDList Array";

// Other programs hold the clipboard open for moments; only a longer hold is a failure.
constexpr int OpenRetryMs = 200;

void appendBytes(std::vector<std::uint8_t>& block, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    block.insert(block.end(), bytes, bytes + size);
}

void appendUint32(std::vector<std::uint8_t>& block, std::uint32_t value)
{
    appendBytes(block, &value, sizeof value);
}

void storeUint32(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t value)
{
    std::memcpy(block.data() + offset, &value, sizeof value);
}

UINT shellIdListFormat()
{
    static const UINT format = RegisterClipboardFormatW(ShellIdListFormatName);
    return format;
}

// A movable shared global block holding the bytes; null when out of memory.
HGLOBAL globalBlock(const std::vector<std::uint8_t>& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes.empty() ? 1 : bytes.size());
    if (!block)
        return nullptr;
    if (void* target = GlobalLock(block)) {
        if (!bytes.empty())
            std::memcpy(target, bytes.data(), bytes.size());
        GlobalUnlock(block);
        return block;
    }
    GlobalFree(block);
    return nullptr;
}

std::vector<std::uint8_t> wideTextBlock(const std::wstring& text)
{
    std::vector<std::uint8_t> block;
    appendBytes(block, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return block;
}

std::vector<std::uint8_t> ansiTextBlock(const std::wstring& text)
{
    std::vector<std::uint8_t> block;
    if (!text.empty()) {
        const int wideLength = static_cast<int>(text.size());
        const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
        block.resize(static_cast<std::size_t>(size > 0 ? size : 0));
        if (size > 0)
            WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, reinterpret_cast<char*>(block.data()), size,
                                nullptr, nullptr);
    }
    block.push_back(0);
    return block;
}

// Reads a zero-ended text of a global block without passing the block's end.
template <typename Char>
std::basic_string<Char> boundedText(HANDLE data)
{
    std::basic_string<Char> text;
    const SIZE_T count = GlobalSize(data) / sizeof(Char);
    if (const auto* chars = static_cast<const Char*>(GlobalLock(data))) {
        SIZE_T length = 0;
        while (length < count && chars[length] != 0)
            ++length;
        text.assign(chars, length);
        GlobalUnlock(data);
    }
    return text;
}

std::wstring fromAnsi(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
    return wide;
}

// The clipboard, open for as long as this lives.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner)
    {
        const bool opened = waitHandlingSentMessages([owner] { return OpenClipboard(owner) != FALSE; }, OpenRetryMs);
        if (!opened)
            throw Failure(CannotOpenClipboard);
    }
    ~OpenClipboardScope() { CloseClipboard(); }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

DWORD processOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

} // namespace

std::vector<std::uint8_t> dropFilesBlock(const std::vector<std::wstring>& paths)
{
    std::vector<std::uint8_t> block;
    appendUint32(block, sizeof(DROPFILES)); // pFiles
    appendUint32(block, 0);                 // pt.x
    appendUint32(block, 0);                 // pt.y
    appendUint32(block, 0);                 // fNC
    appendUint32(block, 0xFFFFFFFFu);       // fWide
    for (const std::wstring& path : paths)
        appendBytes(block, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    const wchar_t end = 0;
    appendBytes(block, &end, sizeof end);
    block.push_back(0);
    return block;
}

std::vector<std::uint8_t> shellIdListBlock(const std::vector<std::wstring>& paths)
{
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop)
        return {0};

    const std::uint32_t count = static_cast<std::uint32_t>(paths.size());
    std::vector<std::uint8_t> block;
    appendUint32(block, count);
    appendUint32(block, 4 * count + 8);
    block.resize(block.size() + 4 * std::size_t(count));
    const std::uint16_t emptyList = 0;
    appendBytes(block, &emptyList, sizeof emptyList);

    for (std::uint32_t i = 0; i < count; ++i) {
        storeUint32(block, 4 * (i + 2), static_cast<std::uint32_t>(block.size()));
        std::wstring name = paths[i];
        PIDLIST_RELATIVE list = nullptr;
        if (SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &list, nullptr)) && list) {
            appendBytes(block, list, ILGetSize(reinterpret_cast<PCUIDLIST_RELATIVE>(list)));
            CoTaskMemFree(list);
        }
    }
    desktop->Release();
    block.push_back(0);
    return block;
}

struct Clipboard::State {
    // The formats put last, each rendered when a program asks for it.
    std::map<UINT, std::vector<std::uint8_t>> pending;
    // The processes that read it, by the window that had the clipboard open; 0 when
    // the reader opened it without a window.
    std::vector<DWORD> readers;
    std::unique_ptr<MessageWindow> window;

    void render(UINT format)
    {
        const auto found = pending.find(format);
        if (found == pending.end())
            return;
        if (HGLOBAL block = globalBlock(found->second)) {
            if (!SetClipboardData(format, block))
                GlobalFree(block);
        }
    }

    bool handle(UINT message, WPARAM wParam)
    {
        switch (message) {
        case WM_RENDERFORMAT: {
            readers.push_back(processOf(GetOpenClipboardWindow()));
            render(static_cast<UINT>(wParam));
            return true;
        }
        case WM_RENDERALLFORMATS:
            // Leaving: what is still owed goes onto the clipboard so it stays pasteable.
            if (OpenClipboard(window->handle())) {
                if (GetClipboardOwner() == window->handle()) {
                    for (const auto& entry : pending)
                        render(entry.first);
                    pending.clear();
                }
                CloseClipboard();
            }
            return true;
        case WM_DESTROYCLIPBOARD:
            pending.clear();
            return true;
        default:
            return false;
        }
    }

    void publish(std::map<UINT, std::vector<std::uint8_t>> formats)
    {
        OpenClipboardScope open(window->handle());
        EmptyClipboard();
        pending = std::move(formats);
        readers.clear();
        for (const auto& entry : pending)
            SetClipboardData(entry.first, nullptr);
    }
};

Clipboard::Clipboard()
    : m_state(std::make_unique<State>())
{
    m_state->window = std::make_unique<MessageWindow>([state = m_state.get()](UINT message, WPARAM wParam, LPARAM,
                                                                              LRESULT& result) {
        result = 0;
        return state->handle(message, wParam);
    });
}

Clipboard::~Clipboard()
{
    if (!m_state->pending.empty() && GetClipboardOwner() == m_state->window->handle())
        SendMessageW(m_state->window->handle(), WM_RENDERALLFORMATS, 0, 0);
}

bool Clipboard::hasText()
{
    return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
}

std::wstring Clipboard::text()
{
    OpenClipboardScope open(m_state->window->handle());
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
        return boundedText<wchar_t>(data);
    if (HANDLE data = GetClipboardData(CF_TEXT))
        return fromAnsi(boundedText<char>(data));
    return {};
}

void Clipboard::setText(const std::wstring& text)
{
    const std::wstring upToZero = text.substr(0, text.find(L'\0'));
    m_state->publish({{CF_UNICODETEXT, wideTextBlock(upToZero)}, {CF_TEXT, ansiTextBlock(upToZero)}});
}

void Clipboard::setFiles(const std::vector<std::wstring>& paths)
{
    m_state->publish({{CF_HDROP, dropFilesBlock(paths)}, {shellIdListFormat(), shellIdListBlock(paths)}});
}

bool Clipboard::waitUntilRead(Handle reader, int timeoutMs)
{
    State& state = *m_state;
    const DWORD own = GetCurrentProcessId();
    const DWORD wanted = reader ? processOf(toHwnd(reader)) : 0;
    return waitHandlingSentMessages(
        [&state, own, wanted] {
            for (const DWORD by : state.readers) {
                // A reader that opened the clipboard without a window cannot be told apart.
                if (by == 0 || (wanted ? by == wanted : by != own))
                    return true;
            }
            return false;
        },
        timeoutMs);
}

} // namespace WinCore
