#pragma once

#include "platform/platform.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// A scripted desktop that records what the logic does to it. Every operation that
// changes something, and every wait, is also appended to one shared journal, so that
// tests can check the order of steps across windows, keys and clipboard.

struct FakeWindow {
    WindowHandle handle = 0;
    QString title;
    QString className;
    WindowHandle owner = 0;
    bool minimized = false;
    QString role;
};

class FakeWindowSystem : public WindowSystem {
public:
    explicit FakeWindowSystem(QStringList& journal);

    // Adds a window on top of all others and gives its handle (1, 2, 3, ... in order).
    WindowHandle addWindow(const QString& title, const QString& className = {}, WindowHandle owner = 0);
    // Lists a window made outside the fake, such as one of the program's own, on top under
    // its own handle; later handles of addWindow come after it.
    void addExistingWindow(WindowHandle handle, const QString& title, const QString& className = {});
    FakeWindow& window(WindowHandle handle);
    // Handles topmost first.
    QList<WindowHandle> stacking() const;

    // The window that has the input; requestActivation changes it when activationWorks.
    WindowHandle active = 0;
    bool activationWorks = true;
    bool notificationArea = true;
    // How many windows topLevelWindows has listed, and how often it was called.
    int enumerations = 0;
    // Windows that belong to the program itself.
    QList<WindowHandle> ownWindows;

    QList<WindowHandle> topLevelWindows() override;
    QString windowTitle(WindowHandle window) override;
    QString windowClass(WindowHandle window) override;
    QString windowRole(WindowHandle window) override;
    WindowHandle windowOwner(WindowHandle window) override;
    WindowHandle activeWindow() override;
    bool isMinimized(WindowHandle window) override;
    void restoreWindow(WindowHandle window) override;
    void requestActivation(WindowHandle window) override;
    void raiseWindow(WindowHandle window) override;
    bool waitUntilActive(WindowHandle window, int timeoutMs) override;
    bool isOwnWindow(WindowHandle window) override;
    bool hasNotificationArea() override { return notificationArea; }

private:
    QStringList& m_journal;
    QList<FakeWindow> m_windows; // topmost first
    WindowHandle m_next = 1;
};

struct KeyEventRecord {
    std::uint16_t key = 0;
    std::uint8_t scanCode = 0;
    std::uint32_t flags = 0;
    friend bool operator==(const KeyEventRecord&, const KeyEventRecord&) = default;
};

class FakeKeyboardSynth : public KeyboardSynth {
public:
    explicit FakeKeyboardSynth(QStringList& journal);

    // Set-1 scan codes of a PC keyboard for letters, digits, F1-F12 and the modifiers;
    // 0 for keys without one, as the desktop answers for unknown keys.
    static std::uint8_t pcScanCode(std::uint16_t virtualKey);

    QList<KeyEventRecord> events;
    // While true, waitUntilModifiersReleased reports a time-out.
    bool modifiersHeld = false;

    std::uint8_t scanCode(std::uint16_t virtualKey) override;
    void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
    bool waitUntilModifiersReleased(int timeoutMs) override;

private:
    QStringList& m_journal;
};

class FakeClipboard : public Clipboard {
public:
    explicit FakeClipboard(QStringList& journal);

    // The clipboard's text, or nothing when it holds no text (empty, a picture, files).
    std::optional<QString> content;
    // The file list last put on it; emptied by any later setText.
    QStringList files;
    // Formats besides text and files (a picture, rich text); emptied by setText and setFiles.
    ClipboardContent otherFormats;
    // Every content put on the clipboard, in order: a text as it is, a file list as "files:"
    // and the paths joined by "|", any other content as "formats:" and the names joined by "|".
    QStringList history;
    // Whether each entry of history was put while transient was on.
    QList<bool> historyTransient;
    bool transient = false;
    // Whether a reader fetches what is put on the clipboard; false makes waitUntilRead time out.
    bool readerPresent = true;
    // When set, the reader fetches only this many more contents and then no more.
    std::optional<int> fetchesLeft;
    // Another program keeps the clipboard: putting text on it raises ClipboardBusy.
    bool busy = false;
    // Runs inside each waitUntilRead, as events do while the desktop waits.
    std::function<void()> duringReadWait;

    bool hasText() override;
    QString text() override;
    void setText(const QString& text) override;
    void setFiles(const QStringList& paths) override;
    std::optional<ClipboardContent> allFormats(qsizetype maxBytes) override;
    void setAllFormats(const ClipboardContent& content) override;
    void setTransient(bool on) override;
    bool waitUntilRead(WindowHandle reader, int timeoutMs) override;

    // The names under which allFormats() gives the text and the file list.
    static constexpr QStringView TextFormat = u"text/plain";
    static constexpr QStringView FilesFormat = u"text/uri-list";

private:
    void record(const QString& kind, const QString& entry);

    QStringList& m_journal;
};

class FakeGlobalHotKey : public GlobalHotKey {
public:
    explicit FakeGlobalHotKey(QStringList& journal);

    std::uint16_t key = 0;
    std::uint8_t shiftState = 0;
    // Keys that "another program" holds: setKey refuses them.
    QList<std::uint16_t> takenKeys;

    bool setKey(std::uint16_t virtualKey, std::uint8_t shift) override;
    void clear() override;
    void setCallback(std::function<void()> callback) override;
    // Presses the held key as the user would; false when no key is held.
    bool press();

private:
    QStringList& m_journal;
    std::function<void()> m_callback;
};

// Fixed formats: the short date as "yyyy-MM-dd", the long time as "HH:mm:ss".
class FakeDateFormats : public DateFormats {
public:
    QString shortDate(QDate date) override;
    QString longTime(QTime time) override;
};

// Records each file it is asked to open and answers with a set result.
class FakeFileOpener : public FileOpener {
public:
    explicit FakeFileOpener(QStringList& journal);

    int result = 42;
    // Each request as "<file>|<parameters>|<show command>|<folder>".
    QStringList opened;

    int openFile(const QString& file, const QString& parameters, int showCommand, const QString& folder) override;

private:
    QStringList& m_journal;
};

// Starting at login, remembered as a switch.
class FakeLoginStart : public LoginStart {
public:
    bool enabled = false;
    bool isEnabled() override { return enabled; }
    void setEnabled(bool on) override { enabled = on; }
};

// Owns the fakes and installs them as the platform for its lifetime.
class FakePlatform {
public:
    FakePlatform() = default;
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    QStringList journal;
    FakeWindowSystem windows{journal};
    FakeKeyboardSynth keyboard{journal};
    FakeClipboard clipboard{journal};
    FakeGlobalHotKey activationKey{journal};
    FakeDateFormats dateFormats;
    FakeFileOpener files{journal};
    FakeLoginStart loginStart;
    Platform platform{windows, keyboard, clipboard, activationKey, dateFormats, files, &loginStart};
};
