#include "platform/win/winplatform.h"

#include "platform/win/core/wincore.h"
#include "util/errors.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <string>
#include <vector>

WinPlatform::~WinPlatform() = default;

namespace {

QString fromWide(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

// Runs a core call; its failures become the program's errors.
template <typename Call> auto translated(Call call)
{
    try {
        return call();
    } catch (const WinCore::Failure& failure) {
        throw Error(fromWide(failure.text()));
    }
}

class WinWindowSystem : public WindowSystem {
public:
    QList<WindowHandle> topLevelWindows() override
    {
        const std::vector<WinCore::Handle> windows = WinCore::topLevelWindows();
        return QList<WindowHandle>(windows.begin(), windows.end());
    }
    QString windowTitle(WindowHandle window) override { return fromWide(WinCore::windowTitle(window)); }
    QString windowClass(WindowHandle window) override { return fromWide(WinCore::windowClass(window)); }
    WindowHandle windowOwner(WindowHandle window) override { return WinCore::windowOwner(window); }
    WindowHandle activeWindow() override { return WinCore::foregroundWindow(); }
    bool isMinimized(WindowHandle window) override { return WinCore::isMinimized(window); }
    void restoreWindow(WindowHandle window) override { WinCore::restoreWindow(window); }
    // Past the foreground lock, which would otherwise refuse a program in the background.
    void requestActivation(WindowHandle window) override { WinCore::forceForeground(window); }
    void raiseWindow(WindowHandle window) override { WinCore::raiseWindow(window); }
    bool waitUntilActive(WindowHandle window, int timeoutMs) override
    {
        return WinCore::waitUntilForeground(window, timeoutMs);
    }
    bool isOwnWindow(WindowHandle window) override { return WinCore::isOwnWindow(window); }
    // Windows has no window roles.
    QString windowRole(WindowHandle) override { return {}; }
    bool hasNotificationArea() override { return WinCore::hasNotificationArea(); }
};

class WinKeyboardSynth : public KeyboardSynth {
public:
    std::uint8_t scanCode(std::uint16_t virtualKey) override { return WinCore::scanCode(virtualKey); }
    void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override
    {
        WinCore::keyEvent(virtualKey, scanCode, flags);
    }
    bool waitUntilModifiersReleased(int timeoutMs) override { return WinCore::waitUntilModifiersReleased(timeoutMs); }
};

class WinClipboard : public Clipboard {
public:
    bool hasText() override { return m_core.hasText(); }
    QString text() override
    {
        return translated([this] { return fromWide(m_core.text()); });
    }
    void setText(const QString& text) override
    {
        translated([&] { m_core.setText(text.toStdWString()); });
    }
    // The shell parses native paths only.
    void setFiles(const QStringList& paths) override
    {
        std::vector<std::wstring> names;
        names.reserve(static_cast<std::size_t>(paths.size()));
        for (const QString& path : paths)
            names.push_back(QDir::toNativeSeparators(path).toStdWString());
        translated([&] { m_core.setFiles(names); });
    }
    std::optional<ClipboardContent> allFormats(qsizetype maxBytes) override
    {
        const auto read = translated([&] { return m_core.allFormats(std::size_t(std::max<qsizetype>(maxBytes, 0))); });
        if (!read)
            return std::nullopt;
        ClipboardContent content;
        content.reserve(qsizetype(read->size()));
        for (const WinCore::ClipboardData& format : *read) {
            content.append(
                {fromWide(format.format),
                 QByteArray(reinterpret_cast<const char*>(format.bytes.data()), qsizetype(format.bytes.size())),
                 {},
                 8});
        }
        return content;
    }
    void setAllFormats(const ClipboardContent& content) override
    {
        std::vector<WinCore::ClipboardData> formats;
        formats.reserve(std::size_t(content.size()));
        for (const ClipboardFormat& format : content) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(format.data.constData());
            formats.push_back({format.name.toStdWString(), {bytes, bytes + format.data.size()}});
        }
        translated([&] { m_core.setAllFormats(formats); });
    }
    void setTransient(bool transient) override { m_core.setTransient(transient); }
    bool waitUntilRead(WindowHandle reader, int timeoutMs) override { return m_core.waitUntilRead(reader, timeoutMs); }

private:
    WinCore::Clipboard m_core{ReadTimeoutMs};
};

class WinGlobalHotKey : public GlobalHotKey {
public:
    bool setKey(std::uint16_t virtualKey, std::uint8_t shiftState) override
    {
        return m_core.set(virtualKey, shiftState);
    }
    void clear() override { m_core.clear(); }
    void setCallback(std::function<void()> callback) override { m_core.setCallback(std::move(callback)); }

private:
    WinCore::HotKey m_core;
};

class WinDateFormats : public DateFormats {
public:
    QString shortDate(QDate date) override
    {
        return fromWide(WinCore::shortDate(date.year(), date.month(), date.day()));
    }
    QString longTime(QTime time) override
    {
        return fromWide(WinCore::longTime(time.hour(), time.minute(), time.second()));
    }
};

class WinFileOpener : public FileOpener {
public:
    int openFile(const QString& file, const QString& parameters, int showCommand, const QString& folder) override
    {
        return WinCore::runFile(QDir::toNativeSeparators(file).toStdWString(), parameters.toStdWString(), showCommand,
                                QDir::toNativeSeparators(folder).toStdWString());
    }
};

// Starting at login through the user's Run key: its value "Tolvane Quillbay" starts this
// executable hidden in the tray. A value that starts another copy (from another folder)
// is not this copy's: it does not count as on, and turning off leaves it alone.
class WinLoginStart : public LoginStart {
public:
    bool isEnabled() override { return WinCore::loginStartsProgram(ValueName, m_program); }
    void setEnabled(bool enabled) override
    {
        translated([&] {
            if (enabled)
                WinCore::setLoginCommand(ValueName, L"\"" + m_program + L"\" --hide");
            else if (isEnabled())
                WinCore::removeLoginCommand(ValueName);
        });
    }

private:
    static constexpr wchar_t ValueName[] = L"Tolvane Quillbay";
    const std::wstring m_program = QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdWString();
};

class WinPipeChannel : public LocalChannel {
public:
    bool listen(const QString& address, Answer answer) override
    {
        auto server = translated([&] {
            return std::make_unique<WinCore::PipeServer>(
                address.toStdWString(), [answer = std::move(answer)](const std::string& line) {
                    std::optional<std::string> reply;
                    if (const std::optional<QByteArray> given = answer(QByteArray::fromStdString(line)))
                        reply = given->toStdString();
                    return reply;
                });
        });
        if (!server->listening())
            return false;
        m_server = std::move(server);
        return true;
    }
    std::optional<QByteArray> request(const QString& address, const QByteArray& line, int connectWaitMs,
                                      int answerWaitMs) override
    {
        const std::optional<std::string> answer
            = WinCore::pipeRequest(address.toStdWString(), line.toStdString(), connectWaitMs, answerWaitMs);
        if (!answer)
            return std::nullopt;
        return QByteArray::fromStdString(*answer);
    }

private:
    std::unique_ptr<WinCore::PipeServer> m_server;
};

class WinDesktop : public WinPlatform {
public:
    Platform& interfaces() override { return m_platform; }

private:
    WinWindowSystem m_windows;
    WinKeyboardSynth m_keyboard;
    WinClipboard m_clipboard;
    WinGlobalHotKey m_hotKey;
    WinDateFormats m_dateFormats;
    WinFileOpener m_files;
    WinLoginStart m_loginStart;
    Platform m_platform{m_windows, m_keyboard, m_clipboard, m_hotKey, m_dateFormats, m_files, &m_loginStart};
};

} // namespace

std::unique_ptr<WinPlatform> CreateWinPlatform()
{
    // The core's message windows are made here; a failure is the program's error.
    return translated([] { return std::unique_ptr<WinPlatform>(std::make_unique<WinDesktop>()); });
}

std::unique_ptr<LocalChannel> CreateWinPipeChannel()
{
    return std::make_unique<WinPipeChannel>();
}
