#include "platform/wayland/waylandplatform.h"

#include "platform/localedateformats.h"
#include "platform/wayland/datacontrolclipboard.h"
#include "platform/wayland/desktopboundhotkey.h"
#include "platform/wayland/fakeinputkeyboard.h"
#include "platform/wayland/focusclipboard.h"
#include "platform/wayland/kglobalaccelhotkey.h"
#include "platform/wayland/plasmawindowsystem.h"
#include "platform/wayland/virtualkeyboard.h"
#include "platform/wayland/waylandconnection.h"
#include "platform/wayland/wlrwindowsystem.h"
#include "platform/xdgautostart.h"
#include "platform/xdgopen.h"
#include "util/errors.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

WaylandPlatform::~WaylandPlatform() = default;

namespace {

// The parts that the compositor does not offer: each call raises Error with the reason.
class UnavailableParts : public WindowSystem, public KeyboardSynth {
public:
    explicit UnavailableParts(const DesktopAbilities& abilities)
        : m_windows(u"%1 does not let this program find or bring forward other programs' windows. %2"_s.arg(
            abilities.name, abilities.reason))
        , m_keys(u"%1 does not let this program type into other programs. %2"_s.arg(abilities.name, abilities.reason))
    { }

    QList<WindowHandle> topLevelWindows() override { missingWindows(); }
    QString windowTitle(WindowHandle) override { missingWindows(); }
    QString windowClass(WindowHandle) override { missingWindows(); }
    QString windowRole(WindowHandle) override { missingWindows(); }
    WindowHandle windowOwner(WindowHandle) override { missingWindows(); }
    WindowHandle activeWindow() override { missingWindows(); }
    bool isMinimized(WindowHandle) override { missingWindows(); }
    void restoreWindow(WindowHandle) override { missingWindows(); }
    void requestActivation(WindowHandle) override { missingWindows(); }
    void raiseWindow(WindowHandle) override { missingWindows(); }
    bool waitUntilActive(WindowHandle, int) override { missingWindows(); }
    bool isOwnWindow(WindowHandle) override { missingWindows(); }
    // Bringing the program's own window forward is left to Qt's request.
    WindowHandle ownWindow(std::uint64_t, const QString&) override { return 0; }
    // The tray's own view (Qt's) decides.
    bool hasNotificationArea() override { missingWindows(); }

    std::uint8_t scanCode(std::uint16_t) override { missingKeys(); }
    void keyEvent(std::uint16_t, std::uint8_t, std::uint32_t) override { missingKeys(); }
    bool waitUntilModifiersReleased(int) override { missingKeys(); }

private:
    [[noreturn]] void missingWindows() const { throw Error(m_windows); }
    [[noreturn]] void missingKeys() const { throw Error(m_keys); }

    QString m_windows;
    QString m_keys;
};

WaylandSession CurrentSession(const WaylandConnection& connection)
{
    WaylandSession session;
    for (const QString& name : WaylandPlanInterfaces()) {
        if (connection.offers(name.toLatin1().constData()))
            session.offered.append(name);
    }
    session.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    session.swaySocket = qEnvironmentVariableIsSet("SWAYSOCK");
    session.program = QCoreApplication::applicationFilePath();
    return session;
}

class WaylandDesktop : public WaylandPlatform {
public:
    WaylandDesktop()
        : m_plan(PlanWaylandDesktop(CurrentSession(m_connection)))
    {
        DesktopAbilities& abilities = m_plan.abilities;
        switch (m_plan.windows) {
        case WaylandDesktopPlan::Windows::ForeignToplevel:
            m_windows = make<WlrWindowSystem>(abilities.otherWindows);
            break;
        case WaylandDesktopPlan::Windows::PlasmaWindowManagement:
            m_windows = make<PlasmaWindowSystem>(abilities.otherWindows);
            break;
        case WaylandDesktopPlan::Windows::None: break;
        }
        switch (m_plan.keys) {
        case WaylandDesktopPlan::Keys::VirtualKeyboard:
            m_keyboard = make<VirtualKeyboardSynth>(abilities.typing);
            break;
        case WaylandDesktopPlan::Keys::FakeInput: m_keyboard = make<FakeInputKeyboardSynth>(abilities.typing); break;
        case WaylandDesktopPlan::Keys::None: break;
        }
        if (m_plan.clipboard == WaylandDesktopPlan::ClipboardKind::DataControl)
            m_clipboard = make<DataControlClipboard>(abilities.clipboard);
        if (!m_clipboard)
            m_clipboard = std::make_unique<FocusClipboard>();
        if (m_plan.activationKey == WaylandDesktopPlan::ActivationKey::KGlobalAccel) {
            try {
                m_hotKey = std::make_unique<KGlobalAccelHotKey>();
            } catch (const Error& error) {
                abilities.activationKey = false;
                failed(error);
            }
        }
        if (!m_hotKey)
            m_hotKey = std::make_unique<DesktopBoundHotKey>();
        m_unavailable = std::make_unique<UnavailableParts>(abilities);
        m_platform = std::make_unique<Platform>(
            Platform{m_windows ? *m_windows : static_cast<WindowSystem&>(*m_unavailable),
                     m_keyboard ? *m_keyboard : static_cast<KeyboardSynth&>(*m_unavailable), *m_clipboard, *m_hotKey,
                     m_dateFormats, m_files, &m_loginStart, abilities});
    }

    Platform& interfaces() override { return *m_platform; }

private:
    // The part on the connection; none when the compositor refuses it after all, which the
    // abilities and their reason then say.
    template <typename Part> std::unique_ptr<Part> make(bool& ability)
    {
        try {
            return std::make_unique<Part>(m_connection);
        } catch (const Error& error) {
            ability = false;
            failed(error);
            return nullptr;
        }
    }
    void failed(const Error& error)
    {
        m_plan.abilities.reason = QString(m_plan.abilities.reason + u' ' + error.text()).trimmed();
    }

    WaylandConnection m_connection;
    WaylandDesktopPlan m_plan;
    std::unique_ptr<WindowSystem> m_windows;
    std::unique_ptr<KeyboardSynth> m_keyboard;
    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<GlobalHotKey> m_hotKey;
    std::unique_ptr<UnavailableParts> m_unavailable;
    LocaleDateFormats m_dateFormats;
    XdgOpen m_files;
    XdgAutostart m_loginStart = XdgAutostart::forThisProgram();
    std::unique_ptr<Platform> m_platform;
};

} // namespace

std::unique_ptr<WaylandPlatform> CreateWaylandPlatform()
{
    return std::make_unique<WaylandDesktop>();
}
