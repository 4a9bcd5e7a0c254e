#include "platform/win/core/winapi.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace WinCore {

namespace {

constexpr wchar_t CannotOpenClipboard[] = L"Cannot open clipboard";
constexpr wchar_t ShellIdListFormatName[] = L"Shell IDList Array";

// Formats that mark content as not for clipboard history, cloud upload or monitors.
constexpr const wchar_t* TransientFormatNames[]
    = {L"ExcludeClipboardContentFromMonitorProcessing", L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"};
// After a read, how long nothing more is asked before the reader counts as done.
constexpr ULONGLONG QuietMs = 50;

using Formats = std::vector<std::pair<UINT, std::vector<std::uint8_t>>>;

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

// A movable global block holding the bytes (one zero byte for none); null when out of
// memory.
HGLOBAL globalBlock(const std::vector<std::uint8_t>& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.empty() ? 1 : bytes.size());
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
template <typename Char> std::basic_string<Char> boundedText(HANDLE data)
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

// The clipboard, open for as long as this lives. Other programs hold it open for
// moments; only a hold past the time-out is a failure, as is a read past it.
class OpenClipboardScope {
public:
    OpenClipboardScope(HWND owner, int timeoutMs)
        : m_deadline(GetTickCount64() + static_cast<ULONGLONG>(timeoutMs))
    {
        const bool opened = waitHandlingSentMessages([owner] { return OpenClipboard(owner) != FALSE; }, timeoutMs);
        if (!opened)
            throw Failure(CannotOpenClipboard);
    }
    ~OpenClipboardScope() { CloseClipboard(); }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;

    // The format's data; an owner that renders it too late is a failure.
    HANDLE data(UINT format) const
    {
        HANDLE data = GetClipboardData(format);
        if (GetTickCount64() > m_deadline)
            throw Failure(CannotOpenClipboard);
        return data;
    }

private:
    ULONGLONG m_deadline;
};

// Whether the format's data is a global memory block that can be copied and offered
// again as it is, rather than a GDI or metafile handle, an owner-drawn display or
// private data that the system does not manage.
bool heldInGlobalMemory(UINT format)
{
    switch (format) {
    case CF_BITMAP:
    case CF_METAFILEPICT:
    case CF_PALETTE:
    case CF_ENHMETAFILE:
    case CF_OWNERDISPLAY:
    case CF_DSPTEXT:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE: return false;
    default: return format < CF_PRIVATEFIRST || format > CF_GDIOBJLAST;
    }
}

// The formats the system makes from CF_UNICODETEXT when it is offered.
bool madeFromUnicodeText(UINT format)
{
    return format == CF_TEXT || format == CF_OEMTEXT || format == CF_LOCALE;
}

std::wstring formatName(UINT format)
{
    // Registered formats are numbered from 0xC000 on.
    if (format >= 0xC000) {
        wchar_t name[256] = {};
        const int length = GetClipboardFormatNameW(format, name, 256);
        if (length > 0)
            return std::wstring(name, static_cast<std::size_t>(length));
    }
    return L"#" + std::to_wstring(format);
}

// The number of a named format, registering it when needed; 0 for no valid name.
UINT formatNumber(const std::wstring& name)
{
    if (name.size() > 1 && name.size() <= 6 && name[0] == L'#'
        && name.find_first_not_of(L"0123456789", 1) == std::wstring::npos) {
        const unsigned long number = std::stoul(name.substr(1));
        return number > 0 && number <= 0xFFFF ? static_cast<UINT>(number) : 0;
    }
    return name.empty() ? 0 : RegisterClipboardFormatW(name.c_str());
}

} // namespace

std::vector<std::uint8_t> dropFilesBlock(const std::vector<std::wstring>& paths)
{
    std::vector<std::uint8_t> block;
    appendUint32(block, sizeof(DROPFILES)); // pFiles
    appendUint32(block, 0); // pt.x
    appendUint32(block, 0); // pt.y
    appendUint32(block, 0); // fNC
    appendUint32(block, 0xFFFFFFFFu); // fWide
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
    struct Read {
        // The process whose window had the clipboard open; 0 when it was opened without.
        DWORD process;
        ULONGLONG at;
    };

    int readTimeoutMs = 0;
    bool transient = false;
    // The formats put last, in their order, each rendered when a program asks for it.
    Formats pending;
    std::vector<Read> reads;
    std::unique_ptr<MessageWindow> window;

    const std::vector<std::uint8_t>* owed(UINT format) const
    {
        for (const auto& entry : pending) {
            if (entry.first == format)
                return &entry.second;
        }
        return nullptr;
    }

    void render(UINT format)
    {
        const std::vector<std::uint8_t>* bytes = owed(format);
        if (!bytes)
            return;
        if (HGLOBAL block = globalBlock(*bytes)) {
            if (!SetClipboardData(format, block))
                GlobalFree(block);
        }
    }

    bool handle(UINT message, WPARAM wParam)
    {
        switch (message) {
        case WM_RENDERFORMAT: {
            reads.push_back({processOf(GetOpenClipboardWindow()), GetTickCount64()});
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
        case WM_DESTROYCLIPBOARD: pending.clear(); return true;
        default: return false;
        }
    }

    // Empties the clipboard and offers the formats; none leaves it empty. The transient
    // marks are put at once, so that reading them does not count as reading the content.
    void publish(const Formats& formats)
    {
        OpenClipboardScope open(window->handle(), readTimeoutMs);
        EmptyClipboard();
        pending.clear();
        reads.clear();
        std::vector<UINT> marks;
        if (transient && !formats.empty()) {
            for (const wchar_t* name : TransientFormatNames) {
                const UINT mark = RegisterClipboardFormatW(name);
                if (HGLOBAL block = globalBlock(std::vector<std::uint8_t>(sizeof(DWORD), 0))) {
                    if (!SetClipboardData(mark, block))
                        GlobalFree(block);
                }
                marks.push_back(mark);
            }
        }
        for (const auto& entry : formats) {
            if (std::find(marks.begin(), marks.end(), entry.first) != marks.end() || owed(entry.first))
                continue;
            pending.push_back(entry);
            SetClipboardData(entry.first, nullptr);
        }
    }
};

Clipboard::Clipboard(int readTimeoutMs)
    : m_state(std::make_unique<State>())
{
    m_state->readTimeoutMs = readTimeoutMs;
    m_state->window = std::make_unique<MessageWindow>(
        [state = m_state.get()](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
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
    OpenClipboardScope open(m_state->window->handle(), m_state->readTimeoutMs);
    if (HANDLE data = open.data(CF_UNICODETEXT))
        return boundedText<wchar_t>(data);
    if (HANDLE data = open.data(CF_TEXT))
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

std::optional<std::vector<ClipboardData>> Clipboard::allFormats(std::size_t maxBytes)
{
    OpenClipboardScope open(m_state->window->handle(), m_state->readTimeoutMs);
    std::vector<UINT> formats;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        formats.push_back(format);
    const bool unicodeText = std::find(formats.begin(), formats.end(), UINT(CF_UNICODETEXT)) != formats.end();
    // The system makes either device-independent bitmap from the other, and lists the
    // one made after the one put.
    const auto firstDib = std::find_if(formats.begin(), formats.end(),
                                       [](UINT format) { return format == CF_DIB || format == CF_DIBV5; });
    const UINT madeDib = firstDib == formats.end() ? 0 : *firstDib == CF_DIB ? CF_DIBV5 : CF_DIB;

    std::vector<ClipboardData> content;
    std::size_t total = 0;
    for (const UINT format : formats) {
        if (!heldInGlobalMemory(format) || (unicodeText && madeFromUnicodeText(format)) || format == madeDib)
            continue;
        HANDLE data = open.data(format);
        const auto* bytes = data ? static_cast<const std::uint8_t*>(GlobalLock(data)) : nullptr;
        if (!bytes)
            continue;
        const SIZE_T size = GlobalSize(data);
        if (size > maxBytes - total) {
            GlobalUnlock(data);
            return std::nullopt;
        }
        total += size;
        content.push_back({formatName(format), {bytes, bytes + size}});
        GlobalUnlock(data);
    }
    return content;
}

void Clipboard::setAllFormats(const std::vector<ClipboardData>& formats)
{
    Formats numbered;
    for (const ClipboardData& format : formats) {
        if (const UINT number = formatNumber(format.format))
            numbered.emplace_back(number, format.bytes);
    }
    m_state->publish(numbered);
}

void Clipboard::setTransient(bool transient)
{
    m_state->transient = transient;
}

bool Clipboard::waitUntilRead(Handle reader, int timeoutMs)
{
    const State& state = *m_state;
    const DWORD own = GetCurrentProcessId();
    const DWORD wanted = reader ? processOf(toHwnd(reader)) : 0;
    return waitHandlingSentMessages(
        [&state, own, wanted] {
            bool fetched = false;
            ULONGLONG last = 0;
            for (const State::Read& read : state.reads) {
                // A reader that opened the clipboard without a window cannot be told apart.
                if (read.process == 0 || (wanted ? read.process == wanted : read.process != own)) {
                    fetched = true;
                    last = std::max(last, read.at);
                }
            }
            return fetched && GetTickCount64() - last >= QuietMs;
        },
        timeoutMs);
}

} // namespace WinCore
