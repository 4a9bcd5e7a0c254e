#pragma once

// The Windows desktop through the Win32 API, in plain C++ with wide strings and without
// Windows headers in this interface, so that the Qt adapter compiles everywhere. Every
// call belongs on the thread that runs the user interface's message loop.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace WinCore {

// A window handle as a number; 0 is no window.
using Handle = std::uint64_t;

// A failure whose text is meant for the user.
class Failure : public std::exception {
public:
    explicit Failure(std::wstring text);
    const std::wstring& text() const noexcept { return m_text; }
    const char* what() const noexcept override;

private:
    std::wstring m_text;
};

// Windows

// Top-level windows in Z order, topmost first, visible or not.
std::vector<Handle> topLevelWindows();
// At most the first 253 characters of the title, and of the class name.
std::wstring windowTitle(Handle window);
std::wstring windowClass(Handle window);
// The owner or parent window, or 0.
Handle windowOwner(Handle window);
Handle foregroundWindow();
bool isMinimized(Handle window);
void restoreWindow(Handle window);
void raiseWindow(Handle window);
// Whether the window belongs to this process.
bool isOwnWindow(Handle window);
// Whether the shell's task bar, which holds the notification area, exists now.
bool hasNotificationArea();

// Whether this version of the system refuses foreground requests of background
// programs (every NT version after 4, and Windows 98 and later).
bool hasForegroundLock(unsigned platformId, unsigned major, unsigned minor);
// Makes the window the foreground window past the foreground lock: through the input of
// the foreground window's thread, else with the lock's time-out briefly set to 0.
// True when the window is in the foreground at the end.
bool forceForeground(Handle window);
// forceForeground, restoring a minimised window first.
bool bringWindowToForeground(Handle window);
// Waits until the window is the foreground one, or the time is up, handling only the
// messages that other threads send to this one meanwhile.
bool waitUntilForeground(Handle window, int timeoutMs);

// Keyboard

// The scan code of a virtual key in the current keyboard layout.
std::uint8_t scanCode(std::uint16_t virtualKey);
// One key event into the system's input stream; flags: 1 extended key, 2 key up.
void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags);
// Waits until no Shift, Ctrl, Alt or Windows key is held, or the time is up.
bool waitUntilModifiersReleased(int timeoutMs);

// Clipboard

// The CF_HDROP block for the paths: a DROPFILES header, then each wide name with its
// zero, a final zero, and one extra zero byte.
std::vector<std::uint8_t> dropFilesBlock(const std::vector<std::wstring>& paths);
// The "Shell IDList Array" block: a CIDA whose parent is the desktop (empty item ID
// list) and whose items are the desktop folder's parsed absolute lists, then one zero
// byte. A path the shell cannot parse gets an empty entry; without the desktop folder
// the block is one zero byte.
std::vector<std::uint8_t> shellIdListBlock(const std::vector<std::wstring>& paths);

// One clipboard format with its data. A registered format is named by its registered
// name, a standard one by its number as "#<number>" (CF_DIB is "#8").
struct ClipboardData {
    std::wstring format;
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const ClipboardData&, const ClipboardData&) = default;
};

// What this program puts on the clipboard is rendered when another program asks for it,
// so the program knows when it has been read. Raises Failure("Cannot open clipboard")
// when the clipboard cannot be opened, or read, within the read time-out.
class Clipboard {
public:
    explicit Clipboard(int readTimeoutMs = 500);
    ~Clipboard();
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    bool hasText();
    // Up to its first zero character.
    std::wstring text();
    // As CF_UNICODETEXT and, for older readers, CF_TEXT.
    void setText(const std::wstring& text);
    // As CF_HDROP and "Shell IDList Array", opened once for both.
    void setFiles(const std::vector<std::wstring>& paths);
    // Every format in the clipboard's order with its data; no value when their data
    // together exceeds maxBytes. Left out: formats whose data is not global memory
    // (bitmap, palette and metafile handles, owner-display and private formats) and
    // those the system makes itself from another present one (CF_TEXT, CF_OEMTEXT and
    // CF_LOCALE beside CF_UNICODETEXT, the later listed of CF_DIB and CF_DIBV5), since
    // putting the rest back recreates them.
    std::optional<std::vector<ClipboardData>> allFormats(std::size_t maxBytes);
    // Puts the formats on the clipboard in their order; none empties it.
    void setAllFormats(const std::vector<ClipboardData>& formats);
    // While on, what is put also carries the registered formats that keep it out of
    // clipboard history, cloud upload and clipboard monitors.
    void setTransient(bool transient);
    // Waits until what was put last has been read, handling only the messages that
    // other threads send meanwhile: a format was fetched, and nothing more for a short
    // quiet time. With a reader window, only reads by that window's program count;
    // with 0, reads by any other program.
    bool waitUntilRead(Handle reader, int timeoutMs);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// System-wide hot key

// One system-wide key at a time; the callback runs from the thread's message loop.
class HotKey {
public:
    HotKey();
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    // shiftState bits: 1 Shift, 2 Alt, 4 Ctrl. False when the system refuses the key.
    bool set(std::uint16_t virtualKey, std::uint8_t shiftState);
    void clear();
    void setCallback(std::function<void()> callback);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// Locale and shell

// The date in the user's short date format, the time in the user's long time format;
// an empty locale name is the user's own.
std::wstring shortDate(int year, int month, int day, const std::wstring& locale = {});
std::wstring longTime(int hour, int minute, int second, const std::wstring& locale = {});
// Opens or runs the file through the shell with its default verb; ShellExecute's result
// code (above 32 when it worked).
int runFile(const std::wstring& file, const std::wstring& parameters, int showCommand, const std::wstring& folder);

// Start at login: values of HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run

// The command line of the value; no value when there is none.
std::optional<std::wstring> loginCommand(const std::wstring& name);
// Writes the value; raises Failure when the key cannot be written.
void setLoginCommand(const std::wstring& name, const std::wstring& commandLine);
// Removes the value, if there is one; raises Failure when it stays.
void removeLoginCommand(const std::wstring& name);
// The program named by a command line: the quoted first part, or up to the first blank.
std::wstring commandProgram(const std::wstring& commandLine);
// Whether the value starts that program; paths compare without regard to case.
bool loginStartsProgram(const std::wstring& name, const std::wstring& program);

// Local channel: a named pipe \\.\pipe\<name>, which the system removes with its process

// The one listener of a pipe. A thread of its own takes one sender at a time and reads
// its line, which the answer function gets on the thread that made the server, from
// that thread's message loop; the answer goes back with a line end. A sender that sends
// no line end within 5 s, or longer lines than 64 KiB, is dropped, as is one whose line
// the answer function leaves unanswered (no value) or does not answer within 5 s.
class PipeServer {
public:
    using Answer = std::function<std::optional<std::string>(const std::string& line)>;
    PipeServer(const std::wstring& name, Answer answer);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // False when the pipe could not be made, as when another process listens on it.
    bool listening() const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

// Sends the line and a line end to the pipe's listener and gives its answer up to the
// line end. No value at once when nobody listens, and none when the listener does not
// take the sender within connectWaitMs or does not answer within answerWaitMs.
std::optional<std::string> pipeRequest(const std::wstring& name, const std::string& line, int connectWaitMs,
                                       int answerWaitMs);

} // namespace WinCore
