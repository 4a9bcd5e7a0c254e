// Windows side of the end-to-end test under wine: reads a window's text, sets and reads
// the clipboard, and shows a window that records what is pasted into it. Prints UTF-8.
//
//   wintool text TITLE            text of the Edit control of the window titled TITLE
//   wintool foreground            title of the foreground window
//   wintool windows TITLE         one line per visible top-level window titled TITLE: its
//                                 handle and its screen rectangle (left top right bottom)
//   wintool windows               one line per titled top-level window: its handle, whether
//                                 it is visible, its class and its title
//   wintool clip-set TEXT DIB     clipboard := TEXT (CF_UNICODETEXT) and the file DIB (CF_DIB)
//   wintool clip-get DIB          prints the clipboard's text; writes its CF_DIB to the file DIB
//   wintool recorder TITLE LOG    window titled TITLE; each Ctrl+V appends a line to LOG:
//                                 "file<TAB>path" per file of a CF_HDROP, else "text<TAB>text"
//                                 (CR, LF, TAB and backslash written as \r, \n, \t, \\)
//
// Exit codes: 0 done, 1 failure (told on stderr), 2 wrong command line, 3 no such window.

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size
        = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

void print(const std::wstring& text)
{
    const std::string bytes = utf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

int fail(const wchar_t* what)
{
    std::fwprintf(stderr, L"wintool: %ls (error %lu)\n", what, GetLastError());
    return 1;
}

std::optional<std::vector<unsigned char>> readFile(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return std::nullopt;
    std::vector<unsigned char> bytes;
    unsigned char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

bool writeFile(const std::wstring& path, const void* data, size_t size, const wchar_t* mode = L"wb")
{
    FILE* file = _wfopen(path.c_str(), mode);
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// Another program may hold the clipboard for a moment.
bool openClipboard(HWND owner)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(owner))
            return true;
        Sleep(20);
    }
    return false;
}

HANDLE globalCopy(const void* data, size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return nullptr;
    std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);
    return block;
}

std::wstring classOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

struct EditSearch {
    HWND found = nullptr;
};

BOOL CALLBACK findEdit(HWND window, LPARAM param)
{
    std::wstring name = classOf(window);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    if (name != L"edit")
        return TRUE;
    reinterpret_cast<EditSearch*>(param)->found = window;
    return FALSE;
}

int windowText(const std::wstring& title)
{
    HWND window = FindWindowW(nullptr, title.c_str());
    if (!window)
        return 3;
    EditSearch search;
    EnumChildWindows(window, findEdit, reinterpret_cast<LPARAM>(&search));
    HWND edit = search.found ? search.found : window;
    const LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got));
    print(text);
    return 0;
}

// Read without a message to the window, so that a busy program cannot hold the tool up.
std::wstring titleOf(HWND window)
{
    wchar_t title[512] = {};
    InternalGetWindowText(window, title, 512);
    return title;
}

int foregroundTitle()
{
    HWND window = GetForegroundWindow();
    if (!window)
        return 3;
    print(titleOf(window));
    return 0;
}

struct TitleSearch {
    std::optional<std::wstring> title;
    std::wstring lines;
};

std::wstring handleText(HWND window)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
    return text;
}

BOOL CALLBACK listTitled(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TitleSearch*>(param);
    const std::wstring title = titleOf(window);
    if (!search->title) {
        if (!title.empty())
            search->lines += handleText(window) + (IsWindowVisible(window) ? L" visible " : L" hidden ")
                + classOf(window) + L" " + title + L"\n";
        return TRUE;
    }
    RECT rect;
    if (title == *search->title && IsWindowVisible(window) && GetWindowRect(window, &rect)) {
        wchar_t line[128];
        std::swprintf(line, 128, L" %ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        search->lines += handleText(window) + line;
    }
    return TRUE;
}

int listWindows(const std::optional<std::wstring>& title)
{
    TitleSearch search{title, {}};
    EnumWindows(listTitled, reinterpret_cast<LPARAM>(&search));
    print(search.lines);
    return 0;
}

int setClipboard(const std::wstring& text, const std::wstring& dibPath)
{
    const auto dib = readFile(dibPath);
    if (!dib || dib->size() < sizeof(BITMAPINFOHEADER))
        return fail(L"no device-independent bitmap in the file");
    if (!openClipboard(nullptr))
        return fail(L"cannot open the clipboard");
    EmptyClipboard();
    const bool textSet
        = SetClipboardData(CF_UNICODETEXT, globalCopy(text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
    const bool dibSet = SetClipboardData(CF_DIB, globalCopy(dib->data(), dib->size()));
    CloseClipboard();
    return textSet && dibSet ? 0 : fail(L"the clipboard refused a format");
}

std::wstring clipboardText()
{
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data)
        return {};
    const auto* chars = static_cast<const wchar_t*>(GlobalLock(data));
    std::wstring text = chars ? std::wstring(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t))) : L"";
    GlobalUnlock(data);
    return text;
}

int getClipboard(const std::wstring& dibPath)
{
    if (!openClipboard(nullptr))
        return fail(L"cannot open the clipboard");
    const std::wstring text = clipboardText();
    std::vector<unsigned char> dib;
    if (HANDLE data = GetClipboardData(CF_DIB)) {
        const auto* bytes = static_cast<const unsigned char*>(GlobalLock(data));
        if (bytes)
            dib.assign(bytes, bytes + GlobalSize(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    print(text);
    return writeFile(dibPath, dib.data(), dib.size()) ? 0 : fail(L"cannot write the bitmap file");
}

std::wstring escaped(const std::wstring& text)
{
    std::wstring result;
    for (const wchar_t c : text) {
        switch (c) {
        case L'\\': result += L"\\\\"; break;
        case L'\r': result += L"\\r"; break;
        case L'\n': result += L"\\n"; break;
        case L'\t': result += L"\\t"; break;
        default: result += c;
        }
    }
    return result;
}

std::wstring recordLog;

// One line per file of a file list, else one line of text.
std::wstring pasted(HWND window)
{
    if (!openClipboard(window))
        return L"error\tcannot open the clipboard\n";
    std::wstring lines;
    if (HANDLE data = GetClipboardData(CF_HDROP)) {
        auto drop = static_cast<HDROP>(GlobalLock(data));
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
            path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
            lines += L"file\t" + escaped(path) + L"\n";
        }
        GlobalUnlock(data);
    } else {
        lines = L"text\t" + escaped(clipboardText()) + L"\n";
    }
    CloseClipboard();
    return lines;
}

LRESULT CALLBACK recorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == 'V' && GetKeyState(VK_CONTROL) < 0) {
            const std::string line = utf8(pasted(window));
            if (!writeFile(recordLog, line.data(), line.size(), L"ab"))
                std::fwprintf(stderr, L"wintool: cannot write %ls\n", recordLog.c_str());
        }
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

int recorder(const std::wstring& title, const std::wstring& log)
{
    recordLog = log;
    if (!writeFile(recordLog, "", 0))
        return fail(L"cannot write the log file");
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = recorderProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"PasteRecorder";
    if (!RegisterClassW(&windowClass))
        return fail(L"cannot register the window class");
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 880, 40, 360, 160,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return fail(L"cannot create the window");
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int main()
{
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::vector<std::wstring> arguments(args, args + count);
    LocalFree(args);
    _setmode(_fileno(stdout), _O_BINARY);

    const std::wstring command = count > 1 ? arguments[1] : L"";
    if (command == L"text" && count == 3)
        return windowText(arguments[2]);
    if (command == L"foreground" && count == 2)
        return foregroundTitle();
    if (command == L"windows" && (count == 2 || count == 3))
        return listWindows(count == 3 ? std::optional(arguments[2]) : std::nullopt);
    if (command == L"clip-set" && count == 4)
        return setClipboard(arguments[2], arguments[3]);
    if (command == L"clip-get" && count == 3)
        return getClipboard(arguments[2]);
    if (command == L"recorder" && count == 4)
        return recorder(arguments[2], arguments[3]);
    std::fputs("usage: wintool text TITLE | foreground | windows [TITLE] | clip-set TEXT DIB | clip-get DIB | recorder "
               "TITLE LOG\n",
               stderr);
    return 2;
}
