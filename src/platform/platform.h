#pragma once

#include "util/errors.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <cstdint>
#include <functional>
#include <optional>

// What the logic needs of the desktop. One implementation per platform, and a recording
// fake for tests; only the application picks one.

// A platform window handle; 0 is no window.
using WindowHandle = std::uint64_t;

class WindowSystem {
public:
    virtual ~WindowSystem();
    // Top-level windows, topmost first, visible, hidden and minimised alike. Title, class
    // and owner of a listed window may be answered as they were when the list was made.
    virtual QList<WindowHandle> topLevelWindows() = 0;
    virtual QString windowTitle(WindowHandle window) = 0;
    virtual QString windowClass(WindowHandle window) = 0;
    // The role a program gives its kind of window (a composer, a viewer), or empty.
    virtual QString windowRole(WindowHandle window) = 0;
    // The owner of a pop-up window, or 0.
    virtual WindowHandle windowOwner(WindowHandle window) = 0;
    // The window that has the user's input now, or 0.
    virtual WindowHandle activeWindow() = 0;
    virtual bool isMinimized(WindowHandle window) = 0;
    virtual void restoreWindow(WindowHandle window) = 0;
    // Asks for the window to become the active one, and puts it on top.
    virtual void requestActivation(WindowHandle window) = 0;
    virtual void raiseWindow(WindowHandle window) = 0;
    // Waits, keeping events flowing, until the window is active or the time is up.
    [[nodiscard]] virtual bool waitUntilActive(WindowHandle window, int timeoutMs) = 0;
    // Whether the window belongs to this program (this process).
    virtual bool isOwnWindow(WindowHandle window) = 0;
    // The handle of one of this program's top-level windows, from Qt's native id (winId())
    // and its title: the native id where handles are native ids. Where the desktop numbers
    // the windows itself, the listed window of this program with that title, waited for a
    // moment after the window is shown; 0 when it is not listed.
    virtual WindowHandle ownWindow(std::uint64_t nativeId, const QString& title);
    // Whether the desktop has a notification area (system tray) now.
    virtual bool hasNotificationArea() = 0;
};

// Key events in the Windows virtual-key numbering.
class KeyboardSynth {
public:
    enum Flags : std::uint32_t { ExtendedKey = 1, KeyUp = 2 };
    virtual ~KeyboardSynth();
    virtual std::uint8_t scanCode(std::uint16_t virtualKey) = 0;
    virtual void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) = 0;
    // Waits until the user holds no Shift, Ctrl, Alt or Super key, or the time is up.
    [[nodiscard]] virtual bool waitUntilModifiersReleased(int timeoutMs) = 0;
};

// One format of the clipboard's content with its data. The type and unit size describe the
// data where the desktop types it (X11: the property type's name and 8, 16 or 32); other
// desktops leave them empty and 8.
struct ClipboardFormat {
    QString name;
    QByteArray data;
    QString type;
    int unitBits = 8;
    friend bool operator==(const ClipboardFormat&, const ClipboardFormat&) = default;
};
using ClipboardContent = QList<ClipboardFormat>;

// Another program keeps the clipboard: the text is "Cannot open clipboard".
class ClipboardBusy : public Error {
public:
    using Error::Error;
};

// Every read from another program is bounded by ReadTimeoutMs (a desktop whose owners are
// slower to answer may allow more, and says so); an owner that does not answer in time
// raises ClipboardBusy.
class Clipboard {
public:
    static constexpr int ReadTimeoutMs = 500;

    virtual ~Clipboard();
    virtual bool hasText() = 0;
    virtual QString text() = 0;
    // Plain text only: no other format is offered.
    virtual void setText(const QString& text) = 0;
    // A list of files, in the form the desktop's file managers and mail programs paste;
    // only the file-list formats are offered, no text.
    virtual void setFiles(const QStringList& paths) = 0;
    // Every format the clipboard offers, with its data; empty when the clipboard is empty.
    // No value when the data of all formats together exceeds maxBytes.
    virtual std::optional<ClipboardContent> allFormats(qsizetype maxBytes) = 0;
    // Puts a content read by allFormats() back, every format as it was; an empty content
    // empties the clipboard.
    virtual void setAllFormats(const ClipboardContent& content) = 0;
    // While on, what is put on the clipboard is marked as passing content that clipboard
    // managers do not record (X11: KDE's x-kde-passwordManagerHint "secret" and CopyQ's
    // application/x-copyq-hidden "1").
    virtual void setTransient(bool transient) = 0;
    // Waits, keeping events flowing, until another program has finished fetching what was
    // last put on the clipboard (it has read a format, and asked nothing more for a short
    // quiet time), or the time is up. With a reader window, only the program that owns
    // that window counts, through any of its connections to the desktop, so that a
    // clipboard manager fetching every new content does not end the wait early; 0 accepts
    // any program.
    [[nodiscard]] virtual bool waitUntilRead(WindowHandle reader, int timeoutMs) = 0;
};

// A system-wide key; the callback runs on the user-interface thread and must not raise.
class GlobalHotKey {
public:
    virtual ~GlobalHotKey();
    // False when the desktop refuses the key (another program holds it).
    virtual bool setKey(std::uint16_t virtualKey, std::uint8_t shiftState) = 0;
    virtual void clear() = 0;
    virtual void setCallback(std::function<void()> callback) = 0;
};

// Whether the desktop starts the program when the user logs in.
class LoginStart {
public:
    virtual ~LoginStart();
    virtual bool isEnabled() = 0;
    // Raises Error when the desktop's setting cannot be changed.
    virtual void setEnabled(bool enabled) = 0;
};

// The user's date and time formats, as the desktop's regional settings give them.
class DateFormats {
public:
    virtual ~DateFormats();
    // The date in the user's short date format.
    virtual QString shortDate(QDate date) = 0;
    // The time in the user's long time format.
    virtual QString longTime(QTime time) = 0;
};

// Opening a file with the program the desktop has set up for its kind.
class FileOpener {
public:
    virtual ~FileOpener();
    // The shell's result: above 32 when the file was opened; 2 the file does not exist,
    // 29 the program failed, 31 no program is set up for the file, others as the
    // Windows shell numbers them. Parameters, show command (SW_*) and working folder go
    // to the program where the desktop can pass them.
    virtual int openFile(const QString& file, const QString& parameters, int showCommand, const QString& folder) = 0;
};

// What the program can do on this desktop. Where a part is missing the program says so once
// at start, instead of failing silently when the user asks for it.
struct DesktopAbilities {
    // The desktop as its users know it ("sway", "KDE Plasma", "GNOME"); empty for the
    // desktops where everything works.
    QString name;
    // Listing and activating other programs' windows.
    bool otherWindows = true;
    // Typing into the active window of another program.
    bool typing = true;
    // Reading, setting and restoring the clipboard while another program has the focus.
    bool clipboard = true;
    // A system-wide activation key held by the program itself. Without it the desktop's own
    // shortcut settings run the program's command line (--show, --send).
    bool activationKey = true;
    // Why the parts that are missing are missing, in a sentence or two for the user.
    QString reason;
};

struct Platform {
    WindowSystem& windows;
    KeyboardSynth& keyboard;
    Clipboard& clipboard;
    GlobalHotKey& activationKey;
    DateFormats& dateFormats;
    FileOpener& files;
    // Null on a desktop where the program does not offer starting at login.
    LoginStart* loginStart = nullptr;
    DesktopAbilities abilities = {};
};
