// The Windows desktop core on Windows' own API (run under wine on Linux). Without Qt,
// so checks are plain: each failed one prints where and why, and the exit code counts them.

#include "platform/win/core/wincore.h"

// windows.h before the shell headers, which build on it.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace WinCore;

namespace {

int failures = 0;

void check(bool condition, const char* what, int line, const std::wstring& detail = {})
{
    if (condition)
        return;
    ++failures;
    std::fprintf(stderr, "FAIL line %d: %s %ls\n", line, what, detail.c_str());
}

#define CHECK(condition) check((condition), #condition, __LINE__)
#define CHECK_TEXT(actual, expected)                                                                                   \
    check((actual) == (expected), #actual " == " #expected, __LINE__, L"[" + (actual) + L"] vs [" + (expected) + L"]")

Handle toHandle(HWND window)
{
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(window));
}

// Handles every message of this thread until done() holds, or the object (when given)
// is signalled, or the time is up.
template <typename Done> bool pumpUntil(Done done, DWORD timeoutMs = 5000, HANDLE object = nullptr)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjects(object ? 1 : 0, &object, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

constexpr wchar_t FrameClass[] = L"QbTestFrame";

// The windows stay until the process ends: under wine without a window manager, hiding
// a window waits two seconds for a window manager to confirm it.
HWND createFrame(const std::wstring& title, HWND owner = nullptr)
{
    HWND window = CreateWindowExW(0, FrameClass, title.c_str(), WS_POPUP, 100, 100, 400, 300, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

void registerFrameClass()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = FrameClass;
    RegisterClassExW(&windowClass);
}

bool listed(Handle window)
{
    for (const Handle each : topLevelWindows()) {
        if (each == window)
            return true;
    }
    return false;
}

void pressKeys(const std::vector<std::uint16_t>& modifiers, std::uint16_t key)
{
    for (const std::uint16_t modifier : modifiers)
        keyEvent(modifier, scanCode(modifier), 0);
    keyEvent(key, scanCode(key), 0);
    keyEvent(key, scanCode(key), 2);
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier)
        keyEvent(*modifier, scanCode(*modifier), 2);
}

// A second process of this program, started with one of the modes of main().
class Helper {
public:
    explicit Helper(const std::wstring& mode, const std::wstring& argument = {})
    {
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        SetHandleInformation(ready, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        SetHandleInformation(release, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        std::wstring command = L"\"" + std::wstring(exe) + L"\" " + mode + L" "
            + std::to_wstring(reinterpret_cast<std::uintptr_t>(ready)) + L" "
            + std::to_wstring(reinterpret_cast<std::uintptr_t>(release)) + L" \"" + argument + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started
            = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    }
    ~Helper()
    {
        finish();
        CloseHandle(ready);
        CloseHandle(release);
    }
    // Keeps serving this program's windows meanwhile: the helper may ask for what this
    // program put on the clipboard.
    bool waitReady()
    {
        return started && pumpUntil([this] { return WaitForSingleObject(ready, 0) == WAIT_OBJECT_0; }, 10000, ready);
    }
    // Lets the helper end and gives its exit code (-1 when it did not end in time).
    int finish()
    {
        if (!started)
            return -1;
        SetEvent(release);
        DWORD code = DWORD(-1);
        if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        started = false;
        return static_cast<int>(code);
    }

private:
    HANDLE ready = nullptr;
    HANDLE release = nullptr;
    PROCESS_INFORMATION process{};
    bool started = false;
};

std::wstring clipboardUnicodeText()
{
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

// Tests

void windowList()
{
    const std::wstring title = L"Grüße Ωμέγα – ✓ 箱";
    HWND frame = createFrame(title);
    HWND popup = createFrame(L"Owned pop-up", frame);
    HWND longTitled = createFrame(std::wstring(300, L'ä'));
    CHECK(listed(toHandle(frame)));
    CHECK(listed(toHandle(popup)));
    CHECK_TEXT(windowTitle(toHandle(frame)), title);
    CHECK_TEXT(windowClass(toHandle(frame)), std::wstring(FrameClass));
    CHECK(windowOwner(toHandle(frame)) == 0);
    CHECK(windowOwner(toHandle(popup)) == toHandle(frame));
    CHECK_TEXT(windowTitle(toHandle(longTitled)), std::wstring(253, L'ä'));

    // Topmost first: whichever of two windows was put on top is listed before the other.
    for (HWND top : {frame, longTitled}) {
        SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const std::vector<Handle> windows = topLevelWindows();
        std::size_t framePos = 0, longPos = 0;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (windows[i] == toHandle(frame))
                framePos = i;
            if (windows[i] == toHandle(longTitled))
                longPos = i;
        }
        CHECK(top == frame ? framePos < longPos : longPos < framePos);
    }
}

// A window made and served by another thread, so that activation crosses threads.
class OtherThreadWindow {
public:
    OtherThreadWindow()
    {
        HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this, created] {
            m_window = createFrame(L"Second window");
            m_threadId = GetCurrentThreadId();
            SetEvent(created);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        });
        WaitForSingleObject(created, 10000);
        CloseHandle(created);
    }
    ~OtherThreadWindow()
    {
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    HWND window() const { return m_window; }

private:
    std::thread m_thread;
    HWND m_window = nullptr;
    DWORD m_threadId = 0;
};

void foreground()
{
    // A known lock time-out, to see that the attempt puts it back.
    constexpr DWORD LockTimeout = 123456;
    DWORD savedTimeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &savedTimeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<PVOID>(std::uintptr_t(LockTimeout)), 0);

    struct Row {
        const char* name;
        bool otherThread; // else the same thread, where attaching input fails
        bool minimise;
    };
    for (const Row row : {Row{"other thread", true, false}, Row{"other thread, minimised", true, true},
                          Row{"same thread", false, false}}) {
        HWND first = createFrame(L"First window");
        std::unique_ptr<OtherThreadWindow> other;
        HWND second = nullptr;
        if (row.otherThread) {
            other = std::make_unique<OtherThreadWindow>();
            second = other->window();
        } else {
            second = createFrame(L"Second window");
        }
        const Handle target = toHandle(second);
        // The window manager focuses a new window on its own time; let that happen first.
        pumpUntil([&] { return GetForegroundWindow() == second; }, 2000);
        if (row.minimise) {
            ShowWindow(second, SW_MINIMIZE);
            pumpUntil([&] { return IsIconic(second) != FALSE; });
        }
        // A late focus change by the window manager may undo this one: try again then.
        const bool firstInFront = pumpUntil(
            [&] { return bringWindowToForeground(toHandle(first)) && waitUntilForeground(toHandle(first), 100); });
        check(firstInFront, row.name, __LINE__, L"first not in front");

        bringWindowToForeground(target);
        check(waitUntilForeground(target, 2000), row.name, __LINE__, L"not in the foreground");
        check(pumpUntil([&] { return !isMinimized(target); }), row.name, __LINE__, L"still minimised");
        // Already in front: true at once.
        CHECK(bringWindowToForeground(target));
        DWORD timeout = 0;
        SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
        check(timeout == LockTimeout, row.name, __LINE__, L"lock time-out not put back");
    }
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<PVOID>(std::uintptr_t(savedTimeout)), 0);

    // Which systems refuse foreground requests: NT after 4, and 98 (4.10) and later.
    struct Version {
        unsigned platformId, major, minor;
        bool locked;
    };
    for (const Version version :
         {Version{VER_PLATFORM_WIN32_NT, 4, 0, false}, Version{VER_PLATFORM_WIN32_NT, 5, 0, true},
          Version{VER_PLATFORM_WIN32_NT, 10, 0, true}, Version{VER_PLATFORM_WIN32_WINDOWS, 4, 0, false},
          Version{VER_PLATFORM_WIN32_WINDOWS, 4, 10, true}, Version{VER_PLATFORM_WIN32_WINDOWS, 4, 90, true}})
        CHECK(hasForegroundLock(version.platformId, version.major, version.minor) == version.locked);
}

void pasteIntoEdit()
{
    HWND frame = createFrame(L"Paste target");
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 380, 260,
                                frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    CHECK(bringWindowToForeground(toHandle(frame)));
    SetFocus(edit);

    Clipboard clipboard;
    const std::wstring text = L"Pasted: naïve café, 日本語";
    clipboard.setText(text);
    CHECK(waitUntilModifiersReleased(1000));
    pressKeys({VK_CONTROL}, 'V');
    const auto editText = [edit] {
        wchar_t buffer[256] = {};
        GetWindowTextW(edit, buffer, 256);
        return std::wstring(buffer);
    };
    pumpUntil([&] { return editText() == text; });
    CHECK_TEXT(editText(), text);
    CHECK(clipboard.waitUntilRead(toHandle(frame), 1000));
}

void clipboardText()
{
    Clipboard clipboard;
    for (const std::wstring& text : {std::wstring(L"abc"), std::wstring(L""), std::wstring(L"Zwei\r\nZeilen ß €"),
                                     std::wstring(L"up to\0here", 10)}) {
        clipboard.setText(text);
        const std::wstring expected = text.substr(0, text.find(L'\0'));
        CHECK(clipboard.hasText());
        CHECK_TEXT(clipboard.text(), expected);
    }
    // Older readers ask for ANSI text.
    clipboard.setText(L"plain ANSI");
    std::string ansi;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            ansi = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    CHECK(ansi == "plain ANSI");

    // Another program reads what was put: the wait ends.
    clipboard.setText(L"for another program");
    CHECK(!clipboard.waitUntilRead(0, 0));
    Helper reader(L"--read-clipboard", L"for another program");
    CHECK(reader.waitReady());
    CHECK(clipboard.waitUntilRead(0, 5000));
    CHECK(reader.finish() == 0);
}

void clipboardHeldOpen()
{
    Clipboard clipboard;
    clipboard.setText(L"before");
    Helper holder(L"--hold-clipboard");
    CHECK(holder.waitReady());
    for (int operation = 0; operation < 5; ++operation) {
        std::wstring error;
        try {
            if (operation == 0)
                clipboard.setText(L"new");
            else if (operation == 1)
                clipboard.text();
            else if (operation == 2)
                clipboard.setFiles({L"C:\\windows\\win.ini"});
            else if (operation == 3)
                clipboard.allFormats(1000);
            else
                clipboard.setAllFormats({{L"#13", {'x', 0, 0, 0}}});
        } catch (const Failure& failure) {
            error = failure.text();
        }
        CHECK_TEXT(error, std::wstring(L"Cannot open clipboard"));
    }
    CHECK(holder.finish() == 0);
    clipboard.setText(L"after");
    CHECK_TEXT(clipboard.text(), std::wstring(L"after"));
}

std::vector<std::uint8_t> clipboardBytes(UINT format, std::size_t size)
{
    std::vector<std::uint8_t> bytes;
    if (HANDLE data = GetClipboardData(format)) {
        if (GlobalSize(data) >= size) {
            const auto* start = static_cast<const std::uint8_t*>(GlobalLock(data));
            bytes.assign(start, start + size);
            GlobalUnlock(data);
        }
    }
    return bytes;
}

std::uint32_t uint32At(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void fileList()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp;
    const std::vector<std::wstring> paths
        = {folder + L"plain.txt", folder + L"with spaces in it.doc", folder + L"Ünïcödé ñame.pdf"};
    for (const std::wstring& path : paths) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
    }

    // The prescribed CF_HDROP bytes: header 20, 0, 0, 0, -1; the wide names each with a
    // 16-bit zero; a final 16-bit zero; one extra zero byte.
    std::vector<std::uint8_t> drop = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    for (const std::wstring& path : paths) {
        for (const wchar_t c : path) {
            drop.push_back(static_cast<std::uint8_t>(c & 0xFF));
            drop.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        drop.insert(drop.end(), {0, 0});
    }
    drop.insert(drop.end(), {0, 0, 0});

    // The prescribed "Shell IDList Array": cidl 3, offsets 20 (the desktop's empty list),
    // 22, then each file's absolute list as the shell parses it, and one zero byte.
    std::vector<std::uint8_t> ida = {3, 0, 0, 0, 20, 0, 0, 0};
    std::vector<std::uint8_t> lists = {0, 0};
    for (const std::wstring& path : paths) {
        const std::uint32_t offset = 20 + static_cast<std::uint32_t>(lists.size());
        ida.insert(
            ida.end(),
            {std::uint8_t(offset), std::uint8_t(offset >> 8), std::uint8_t(offset >> 16), std::uint8_t(offset >> 24)});
        PIDLIST_ABSOLUTE list = nullptr;
        CHECK(SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr)));
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(list);
        lists.insert(lists.end(), bytes, bytes + ILGetSize(list));
        CoTaskMemFree(list);
    }
    ida.insert(ida.end(), lists.begin(), lists.end());
    ida.push_back(0);

    CHECK(dropFilesBlock(paths) == drop);
    CHECK(shellIdListBlock(paths) == ida);

    Clipboard clipboard;
    clipboard.setText(L"text that goes");
    clipboard.setFiles(paths);
    CHECK(!clipboard.hasText());
    CHECK(OpenClipboard(nullptr));
    const UINT idListFormat = RegisterClipboardFormatW(L"Shell IDList Array");
    CHECK(clipboardBytes(CF_HDROP, drop.size()) == drop);
    const std::vector<std::uint8_t> readIda = clipboardBytes(idListFormat, ida.size());
    CHECK(readIda == ida);

    // Read back through the shell's own functions.
    HDROP hdrop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    CHECK(DragQueryFileW(hdrop, 0xFFFFFFFF, nullptr, 0) == paths.size());
    for (UINT i = 0; i < paths.size(); ++i) {
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(hdrop, i, name, MAX_PATH);
        CHECK_TEXT(std::wstring(name), paths[i]);
        if (readIda.size() == ida.size()) {
            wchar_t fromList[MAX_PATH] = {};
            const auto* item = reinterpret_cast<PCIDLIST_ABSOLUTE>(readIda.data() + uint32At(readIda, 8 + 4 * i));
            CHECK(SHGetPathFromIDListW(item, fromList));
            CHECK_TEXT(std::wstring(fromList), paths[i]);
        }
    }
    CloseClipboard();

    // A name the shell cannot parse gets an empty entry; the others keep theirs.
    const std::vector<std::uint8_t> withBad = shellIdListBlock({L"\\\\?\\no such:thing", paths[0]});
    CHECK(uint32At(withBad, 0) == 2);
    CHECK(uint32At(withBad, 4) == 16 && uint32At(withBad, 8) == 18 && uint32At(withBad, 12) == 18);

    for (const std::wstring& path : paths)
        DeleteFileW(path.c_str());
}

constexpr wchar_t CustomFormat[] = L"Quillbay Test Format";

// Text, a registered format and a 2x1 24-bit bitmap (header, one row padded to 8 bytes).
const std::vector<ClipboardData>& roundTripContent()
{
    static const std::vector<ClipboardData> content = [] {
        const std::wstring text = L"Round trip ✓ ß";
        const auto* chars = reinterpret_cast<const std::uint8_t*>(text.c_str());
        BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), 2, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        const auto* head = reinterpret_cast<const std::uint8_t*>(&header);
        std::vector<std::uint8_t> dib(head, head + sizeof header);
        dib.insert(dib.end(), {0, 0, 255, 0, 255, 0, 0, 0});
        return std::vector<ClipboardData>{{L"#13", {chars, chars + (text.size() + 1) * sizeof(wchar_t)}},
                                          {CustomFormat, {1, 2, 0, 255, 7}},
                                          {L"#8", dib}};
    }();
    return content;
}

void allFormats()
{
    // Put by another program's means; the system adds CF_TEXT, CF_OEMTEXT, CF_LOCALE,
    // CF_BITMAP and more, and only what was put is read.
    const std::vector<ClipboardData>& expected = roundTripContent();
    CHECK(OpenClipboard(nullptr));
    EmptyClipboard();
    std::size_t total = 0;
    for (const ClipboardData& format : expected) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, format.bytes.size());
        std::memcpy(GlobalLock(block), format.bytes.data(), format.bytes.size());
        GlobalUnlock(block);
        SetClipboardData(format.format == CustomFormat ? RegisterClipboardFormatW(CustomFormat)
                                                       : std::stoul(format.format.substr(1)),
                         block);
        total += format.bytes.size();
    }
    CloseClipboard();
    Clipboard clipboard;
    const std::optional<std::vector<ClipboardData>> content = clipboard.allFormats(total);
    CHECK(content && *content == expected);
    CHECK(!clipboard.allFormats(total - 1));

    // Put back by this program, another one reads every format as it was.
    clipboard.setText(L"in between");
    clipboard.setAllFormats(expected);
    Helper reader(L"--check-all-formats");
    CHECK(reader.waitReady());
    CHECK(reader.finish() == 0);
    CHECK(clipboard.waitUntilRead(0, 2000));

    clipboard.setAllFormats({});
    CHECK(CountClipboardFormats() == 0);
    const std::optional<std::vector<ClipboardData>> empty = clipboard.allFormats(0);
    CHECK(empty && empty->empty());
}

void transientClipboard()
{
    Clipboard clipboard;
    for (const bool transient : {true, false}) {
        for (const bool all : {true, false}) {
            clipboard.setTransient(transient);
            if (all)
                clipboard.setAllFormats({{CustomFormat, {9, 9}}});
            else
                clipboard.setText(L"secret");
            const std::wstring row = std::wstring(transient ? L"transient " : L"plain ") + (all ? L"content" : L"text");
            CHECK(OpenClipboard(nullptr));
            for (const wchar_t* name : {L"ExcludeClipboardContentFromMonitorProcessing",
                                        L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"}) {
                const std::vector<std::uint8_t> mark = clipboardBytes(RegisterClipboardFormatW(name), 4);
                check(mark == (transient ? std::vector<std::uint8_t>(4, 0) : std::vector<std::uint8_t>{}), "mark",
                      __LINE__, row + L" " + name);
            }
            CloseClipboard();
            // Reading the marks is not reading the content.
            check(!clipboard.waitUntilRead(0, 100), "not read", __LINE__, row);
        }
    }
}

void ownWindow()
{
    Helper other(L"--show-window");
    CHECK(other.waitReady());
    CHECK(isOwnWindow(toHandle(createFrame(L"Own window"))));
    const HWND foreign = FindWindowW(FrameClass, L"Helper window");
    CHECK(foreign && !isOwnWindow(toHandle(foreign)));
    CHECK(!isOwnWindow(0));
    CHECK(other.finish() == 0);
}

void notificationArea()
{
    const bool before = hasNotificationArea();
    WNDCLASSW tray{};
    tray.lpfnWndProc = DefWindowProcW;
    tray.hInstance = GetModuleHandleW(nullptr);
    tray.lpszClassName = L"Shell_TrayWnd";
    CHECK(RegisterClassW(&tray) != 0);
    const HWND bar
        = CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, tray.hInstance, nullptr);
    CHECK(bar && hasNotificationArea());
    DestroyWindow(bar);
    CHECK(hasNotificationArea() == before);
}

void hotKey()
{
    struct Row {
        const char* name;
        std::uint8_t shiftState;
        std::vector<std::uint16_t> held;
        std::uint16_t key;
    };
    const Row rows[] = {
        {"F9 alone", 0, {}, VK_F9},
        {"Ctrl+Shift+F8", 4 | 1, {VK_CONTROL, VK_SHIFT}, VK_F8},
        {"Ctrl+Alt+K", 4 | 2, {VK_CONTROL, VK_MENU}, 'K'},
    };
    HWND frame = createFrame(L"Hot key test");
    bringWindowToForeground(toHandle(frame));
    for (const Row& row : rows) {
        HotKey key;
        int pressed = 0;
        key.setCallback([&pressed] { ++pressed; });
        check(key.set(row.key, row.shiftState), row.name, __LINE__, L"refused");
        pressKeys(row.held, row.key);
        check(pumpUntil([&] { return pressed > 0; }), row.name, __LINE__, L"not pressed");

        HotKey second;
        check(!second.set(row.key, row.shiftState), row.name, __LINE__, L"second registration accepted");
        key.clear();
        check(second.set(row.key, row.shiftState), row.name, __LINE__, L"refused after clear");
    }
}

// The locale's own short date and long time patterns, applied by the system.
std::wstring withPattern(const wchar_t* locale, LCTYPE patternKind, const SYSTEMTIME& moment)
{
    wchar_t pattern[100] = {};
    wchar_t text[200] = {};
    if (GetLocaleInfoEx(locale, patternKind, pattern, 100) == 0)
        return L"(no pattern)";
    const int written = patternKind == LOCALE_SSHORTDATE
        ? GetDateFormatEx(locale, 0, &moment, pattern, text, 200, nullptr)
        : GetTimeFormatEx(locale, 0, &moment, pattern, text, 200);
    return written > 0 ? std::wstring(text) : L"(not formatted)";
}

void dateFormats()
{
    struct Row {
        const wchar_t* locale;
        const wchar_t* date;
        const wchar_t* time;
    };
    const Row rows[] = {
        {L"en-US", L"3/7/2026", L"2:05:09 PM"},
        {L"en-GB", L"07/03/2026", L"14:05:09"},
    };
    for (const Row& row : rows) {
        CHECK_TEXT(shortDate(2026, 3, 7, row.locale), std::wstring(row.date));
        CHECK_TEXT(longTime(14, 5, 9, row.locale), std::wstring(row.time));
    }
    CHECK(shortDate(2026, 3, 7).find(L"2026") != std::wstring::npos);

    // The short date and the long time (with seconds) of each locale, the user's own
    // included, against the patterns the locale itself gives.
    struct Moment {
        WORD year, month, day, hour, minute, second;
    };
    const Moment moments[] = {{2026, 3, 7, 14, 5, 9}, {1999, 12, 31, 0, 0, 0}, {2024, 2, 29, 9, 59, 1}};
    const wchar_t* locales[] = {L"", L"en-US", L"en-GB", L"de-DE", L"fr-FR", L"ja-JP", L"ko-KR"};
    for (const wchar_t* locale : locales) {
        const wchar_t* name = *locale ? locale : LOCALE_NAME_USER_DEFAULT;
        for (const Moment& at : moments) {
            SYSTEMTIME moment{};
            moment.wYear = at.year;
            moment.wMonth = at.month;
            moment.wDay = at.day;
            moment.wHour = at.hour;
            moment.wMinute = at.minute;
            moment.wSecond = at.second;
            CHECK_TEXT(shortDate(at.year, at.month, at.day, locale), withPattern(name, LOCALE_SSHORTDATE, moment));
            CHECK_TEXT(longTime(at.hour, at.minute, at.second, locale), withPattern(name, LOCALE_STIMEFORMAT, moment));
        }
    }
}

std::wstring temporaryFolder()
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return folder;
}

void shellExecute()
{
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring folder = temporaryFolder();
    const std::wstring unknownKind = folder + L"quillbay test.qbnoprogram";
    HANDLE file = CreateFileW(unknownKind.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CHECK(file != INVALID_HANDLE_VALUE);
    CloseHandle(file);

    struct Row {
        const char* name;
        std::wstring file;
        std::wstring parameters;
        std::wstring folder;
        int result; // 0: any success (above 32)
    };
    const Row rows[] = {
        {"program with parameters", exe, L"--exit", {}, 0},
        {"program in a working folder", exe, L"--exit", folder, 0},
        {"missing file", folder + L"no such file.chm", {}, {}, SE_ERR_FNF},
        {"missing folder", L"C:\\no\\such\\file.chm", {}, {}, SE_ERR_FNF},
        {"no program for the kind", unknownKind, {}, {}, SE_ERR_NOASSOC},
    };
    for (const Row& row : rows) {
        const int result = runFile(row.file, row.parameters, SW_SHOWNORMAL, row.folder);
        const bool expected = row.result == 0 ? result > 32 : result == row.result;
        check(expected, row.name, __LINE__, L"result " + std::to_wstring(result));
    }
    DeleteFileW(unknownKind.c_str());
}

void loginStart()
{
    const std::wstring name = L"Quillbay test entry";
    removeLoginCommand(name);
    CHECK(!loginCommand(name));
    // Paths with blanks and non-ASCII letters come back as written, and a value is replaced.
    for (const std::wstring& command : {std::wstring(L"\"C:\\Program Files\\Quillbay\\quillbay.exe\" --hide"),
                                        std::wstring(L"\"C:\\Users\\J\u00f6rg\\\u9577\\quillbay.exe\" --hide")}) {
        setLoginCommand(name, command);
        const std::optional<std::wstring> read = loginCommand(name);
        CHECK(read && *read == command);
    }
    HKEY key = nullptr;
    CHECK(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_READ, &key)
          == ERROR_SUCCESS);
    DWORD type = 0;
    CHECK(RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS && type == REG_SZ);
    RegCloseKey(key);
    // The value starts this program when it names its path, written in any case.
    const std::wstring program = L"C:\\Program Files\\Quillbay\\quillbay.exe";
    setLoginCommand(name, L"\"c:\\program files\\QUILLBAY\\quillbay.exe\" --hide");
    CHECK(loginStartsProgram(name, program));
    CHECK(!loginStartsProgram(name, L"C:\\Program Files\\Quillbay\\quillbay.ex"));
    CHECK(!loginStartsProgram(name, L"D:\\Quillbay\\quillbay.exe"));
    removeLoginCommand(name);
    CHECK(!loginCommand(name));
    CHECK(!loginStartsProgram(name, program));
    // Removing what is not there is no failure.
    bool failed = false;
    try {
        removeLoginCommand(name);
    } catch (const Failure&) {
        failed = true;
    }
    CHECK(!failed);

    const struct {
        std::wstring commandLine;
        std::wstring program;
    } programs[] = {
        {L"\"C:\\Program Files\\Q\\quillbay.exe\" --hide", L"C:\\Program Files\\Q\\quillbay.exe"},
        {L"C:\\Q\\quillbay.exe --hide", L"C:\\Q\\quillbay.exe"},
        {L"  C:\\Q\\quillbay.exe", L"C:\\Q\\quillbay.exe"},
        {L"\"C:\\Q\\quillbay.exe", L"C:\\Q\\quillbay.exe"},
        {L"", L""},
    };
    for (const auto& row : programs)
        CHECK_TEXT(commandProgram(row.commandLine), row.program);
}

// A request from a thread of its own while this thread runs the server's message loop.
std::optional<std::string> requestServed(const std::wstring& name, const std::string& line, int answerWaitMs = 3000)
{
    std::optional<std::string> answer;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread sender([&] {
        answer = pipeRequest(name, line, 1000, answerWaitMs);
        SetEvent(done);
    });
    pumpUntil([&] { return WaitForSingleObject(done, 0) == WAIT_OBJECT_0; }, 15000, done);
    sender.join();
    CloseHandle(done);
    return answer;
}

void pipeChannel()
{
    const std::wstring name = L"quillbay-test-" + std::to_wstring(GetCurrentProcessId());
    std::vector<std::string> received;
    auto server = std::make_unique<PipeServer>(name, [&](const std::string& line) -> std::optional<std::string> {
        received.push_back(line);
        if (line == "drop")
            return std::nullopt;
        return "ok:" + line;
    });
    CHECK(server->listening());

    // Lines cross both ways whole, one sender after another; line ends inside are the
    // sender's business, other bytes pass as they are.
    const std::string longLine(60000, 'x');
    const std::string lines[] = {"show", "{\"command\":\"send\",\"hotword\":\"gr\xc3\xbc\xc3\x9f\"}", "a\rb", longLine};
    for (const std::string& line : lines) {
        const std::optional<std::string> answer = requestServed(name, line);
        check(answer && *answer == "ok:" + line, "answer", __LINE__, std::to_wstring(line.size()));
        check(!received.empty() && received.back() == line, "received", __LINE__, std::to_wstring(line.size()));
    }
    // Unanswered lines and lines beyond 64 KiB leave the sender without an answer, at once.
    const ULONGLONG start = GetTickCount64();
    CHECK(!requestServed(name, "drop"));
    CHECK(!requestServed(name, std::string(70000, 'y')));
    CHECK(GetTickCount64() - start < 3000);
    CHECK(received.back() == "drop");
    // While the listener's thread runs no message loop, the sender gives up in its time;
    // the line is taken once the loop runs again.
    std::optional<std::string> unanswered = std::string("unset");
    const ULONGLONG late = GetTickCount64();
    std::thread sender([&] { unanswered = pipeRequest(name, "late", 1000, 500); });
    sender.join();
    CHECK(!unanswered);
    CHECK(GetTickCount64() - late < 2000);
    CHECK(pumpUntil([&] { return received.back() == "late"; }, 3000));

    // A second listener on the name is refused.
    PipeServer second(name, [](const std::string&) { return std::optional<std::string>("second"); });
    CHECK(!second.listening());
    CHECK(requestServed(name, "still first") == std::optional<std::string>("ok:still first"));

    // Without a listener a sender fails at once, and the name is free again.
    server.reset();
    const ULONGLONG alone = GetTickCount64();
    CHECK(!pipeRequest(name, "show", 1000, 1000));
    CHECK(GetTickCount64() - alone < 500);
    PipeServer again(name, [](const std::string& line) { return std::optional<std::string>(line); });
    CHECK(again.listening());
    CHECK(requestServed(name, "again") == std::optional<std::string>("again"));
}

// Modes of the helper process: EVENT handles to signal readiness and wait for release.
int helperMain(const std::string& mode, HANDLE ready, HANDLE release, const std::wstring& argument)
{
    int result = 0;
    if (mode == "--hold-clipboard") {
        if (!OpenClipboard(nullptr))
            return 3;
        SetEvent(ready);
        WaitForSingleObject(release, 20000);
        CloseClipboard();
    } else if (mode == "--read-clipboard") {
        SetEvent(ready);
        if (clipboardUnicodeText() != argument)
            result = 4;
        WaitForSingleObject(release, 20000);
    } else if (mode == "--check-all-formats") {
        try {
            if (Clipboard().allFormats(1 << 20) != roundTripContent())
                result = 5;
        } catch (const Failure&) {
            result = 6;
        }
        SetEvent(ready);
        WaitForSingleObject(release, 20000);
    } else if (mode == "--show-window") {
        createFrame(L"Helper window");
        SetEvent(ready);
        WaitForSingleObject(release, 20000);
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    registerFrameClass();
    if (argc > 1 && std::strcmp(argv[1], "--exit") == 0)
        return 0;
    if (argc > 4) {
        int wideCount = 0;
        LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
        const std::wstring argument = wideCount > 4 ? wide[4] : L"";
        LocalFree(wide);
        return helperMain(argv[1], reinterpret_cast<HANDLE>(std::stoull(argv[2])),
                          reinterpret_cast<HANDLE>(std::stoull(argv[3])), argument);
    }
    OleInitialize(nullptr);
    const struct {
        const char* name;
        void (*run)();
    } tests[] = {
        {"windowList", windowList},
        {"foreground", foreground},
        {"pasteIntoEdit", pasteIntoEdit},
        {"clipboardText", clipboardText},
        {"clipboardHeldOpen", clipboardHeldOpen},
        {"fileList", fileList},
        {"allFormats", allFormats},
        {"transientClipboard", transientClipboard},
        {"ownWindow", ownWindow},
        {"notificationArea", notificationArea},
        {"hotKey", hotKey},
        {"dateFormats", dateFormats},
        {"shellExecute", shellExecute},
        {"loginStart", loginStart},
        {"pipeChannel", pipeChannel},
    };
    for (const auto& test : tests) {
        const int before = failures;
        const ULONGLONG start = GetTickCount64();
        test.run();
        std::printf("%s %s (%llu ms)\n", failures == before ? "PASS" : "FAIL", test.name, GetTickCount64() - start);
        std::fflush(stdout);
    }
    OleUninitialize();
    std::printf("%d failed checks\n", failures);
    return failures == 0 ? 0 : 1;
}
