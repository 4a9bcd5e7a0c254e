#pragma once

#include "platform/platform.h"

#include <QStringList>

#include <memory>

// The desktop of a Wayland session, reached through the program's own connection to the
// compositor, whether Qt shows the windows natively or through Xwayland. Each part uses the
// protocol the compositor offers for it; where none is offered the part raises Error with
// the reason, and the abilities say what is missing. Create it after the application object
// and destroy it before; raises Error when no compositor answers.
class WaylandPlatform {
public:
    virtual ~WaylandPlatform();
    virtual Platform& interfaces() = 0;
};

std::unique_ptr<WaylandPlatform> CreateWaylandPlatform();

// Which protocol serves each part of the desktop, chosen from the names of the globals the
// compositor offers and the session's desktop (XDG_CURRENT_DESKTOP, SWAYSOCK).
struct WaylandDesktopPlan {
    enum class Windows { None, ForeignToplevel, PlasmaWindowManagement };
    enum class Keys { None, VirtualKeyboard, FakeInput };
    enum class ClipboardKind { Focus, DataControl };
    enum class ActivationKey { DesktopBound, KGlobalAccel };
    Windows windows = Windows::None;
    Keys keys = Keys::None;
    ClipboardKind clipboard = ClipboardKind::Focus;
    ActivationKey activationKey = ActivationKey::DesktopBound;
    DesktopAbilities abilities;
};

struct WaylandSession {
    // The compositor's globals by interface name.
    QStringList offered;
    // XDG_CURRENT_DESKTOP: desktop names separated by colons.
    QString currentDesktop;
    // Whether SWAYSOCK is set.
    bool swaySocket = false;
    // The program's executable, as a desktop file would start it.
    QString program;
};

// The interface names that the plan looks at.
QStringList WaylandPlanInterfaces();
WaylandDesktopPlan PlanWaylandDesktop(const WaylandSession& session);
