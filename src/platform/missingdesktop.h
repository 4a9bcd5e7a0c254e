#pragma once

#include "platform/platform.h"

#ifndef _WIN32
#include "platform/localedateformats.h"
#include "platform/xdgopen.h"
#endif

// The platform of a run without a desktop (no X11 session): the program still browses,
// and every desktop operation raises Error "No desktop platform is installed.", which
// the command that asked for it reports. Date formats and opening files need no session
// on Linux and work as on the desktop.
class MissingDesktop : public WindowSystem, public KeyboardSynth, public Clipboard, public GlobalHotKey {
public:
    MissingDesktop();
    Platform& interfaces() { return m_platform; }

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
    bool hasNotificationArea() override;

    std::uint8_t scanCode(std::uint16_t virtualKey) override;
    void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
    bool waitUntilModifiersReleased(int timeoutMs) override;

    bool hasText() override;
    QString text() override;
    void setText(const QString& text) override;
    void setFiles(const QStringList& paths) override;
    std::optional<ClipboardContent> allFormats(qsizetype maxBytes) override;
    void setAllFormats(const ClipboardContent& content) override;
    void setTransient(bool transient) override;
    bool waitUntilRead(WindowHandle reader, int timeoutMs) override;

    bool setKey(std::uint16_t virtualKey, std::uint8_t shiftState) override;
    void clear() override;
    void setCallback(std::function<void()> callback) override;

private:
#ifdef _WIN32
    class Unavailable : public DateFormats, public FileOpener {
    public:
        QString shortDate(QDate date) override;
        QString longTime(QTime time) override;
        int openFile(const QString& file, const QString& parameters, int showCommand, const QString& folder) override;
    };
    Unavailable m_dateFormats;
    Unavailable& m_files = m_dateFormats;
#else
    LocaleDateFormats m_dateFormats;
    XdgOpen m_files;
#endif
    Platform m_platform;
};
