#include "platform/wayland/waylandplatform.h"

using namespace Qt::StringLiterals;

namespace {

const QString ForeignToplevel = u"zwlr_foreign_toplevel_manager_v1"_s;
const QString VirtualKeyboard = u"zwp_virtual_keyboard_manager_v1"_s;
const QString DataControl = u"zwlr_data_control_manager_v1"_s;
const QString PlasmaWindows = u"org_kde_plasma_window_management"_s;
const QString FakeInput = u"org_kde_kwin_fake_input"_s;
const QString PlasmaShell = u"org_kde_plasma_shell"_s;

bool InDesktopList(const QString& currentDesktop, const QString& name)
{
    return currentDesktop.split(u':', Qt::SkipEmptyParts).contains(name, Qt::CaseInsensitive);
}

QString DesktopName(const WaylandSession& session, bool plasma)
{
    if (plasma)
        return u"KDE Plasma"_s;
    if (InDesktopList(session.currentDesktop, u"GNOME"_s))
        return u"GNOME"_s;
    const QStringList names = session.currentDesktop.split(u':', Qt::SkipEmptyParts);
    if (!names.isEmpty())
        return names.first().trimmed();
    if (session.swaySocket)
        return u"sway"_s;
    return u"this Wayland desktop"_s;
}

// Why KWin hides the two interfaces: it shows them only to a program that a desktop file
// declares.
QString PlasmaPermissionReason(const QString& program)
{
    return u"KDE Plasma lets a program list and bring forward other programs' windows and type keys only when its "
           "desktop file says so: quillbay.desktop, with the line "
           "X-KDE-Wayland-Interfaces=org_kde_plasma_window_management,org_kde_kwin_fake_input and an Exec line "
           "that starts %1, is missing or was not found. Install the program's package, or put such a file into "
           "~/.local/share/applications, and start the program again."_s.arg(program);
}

// What the compositor lacks, part by part, and what the desktop portals offer instead.
QString MissingProtocolsReason(const WaylandDesktopPlan& plan)
{
    QStringList missing;
    if (plan.windows == WaylandDesktopPlan::Windows::None)
        missing.append(u"listing and activating other programs' windows (zwlr_foreign_toplevel_manager_v1)"_s);
    if (plan.keys == WaylandDesktopPlan::Keys::None)
        missing.append(u"typing keys (zwp_virtual_keyboard_manager_v1)"_s);
    if (plan.clipboard == WaylandDesktopPlan::ClipboardKind::Focus)
        missing.append(u"the clipboard while another program has the focus (zwlr_data_control_manager_v1)"_s);
    QString reason;
    if (!missing.isEmpty())
        reason = u"The compositor of %1 offers no protocol for %2."_s.arg(plan.abilities.name,
                                                                          missing.join(u"; nor for "_s));
    if (plan.windows == WaylandDesktopPlan::Windows::None || plan.keys == WaylandDesktopPlan::Keys::None)
        reason += u" The desktop portals do not make up for it: no portal lists or activates other programs' "
                  "windows, Remote Desktop types keys only into whatever window has the focus and asks the user "
                  "for leave each time, and no portal reaches the clipboard in the background."_s;
    if (plan.activationKey == WaylandDesktopPlan::ActivationKey::DesktopBound)
        reason += u" No protocol lets a program claim a key for the whole desktop: the desktop's own shortcut "
                  "settings run the program's commands instead."_s;
    return reason.trimmed();
}

} // namespace

QStringList WaylandPlanInterfaces()
{
    return {ForeignToplevel, VirtualKeyboard, DataControl, PlasmaWindows, FakeInput, PlasmaShell};
}

WaylandDesktopPlan PlanWaylandDesktop(const WaylandSession& session)
{
    const auto offers = [&](const QString& name) { return session.offered.contains(name); };
    const bool plasma = InDesktopList(session.currentDesktop, u"KDE"_s) || offers(PlasmaShell) || offers(PlasmaWindows)
        || offers(FakeInput);
    WaylandDesktopPlan plan;
    if (plasma && offers(PlasmaWindows))
        plan.windows = WaylandDesktopPlan::Windows::PlasmaWindowManagement;
    else if (offers(ForeignToplevel))
        plan.windows = WaylandDesktopPlan::Windows::ForeignToplevel;
    if (plasma && offers(FakeInput))
        plan.keys = WaylandDesktopPlan::Keys::FakeInput;
    else if (offers(VirtualKeyboard))
        plan.keys = WaylandDesktopPlan::Keys::VirtualKeyboard;
    if (offers(DataControl))
        plan.clipboard = WaylandDesktopPlan::ClipboardKind::DataControl;
    if (plasma)
        plan.activationKey = WaylandDesktopPlan::ActivationKey::KGlobalAccel;

    DesktopAbilities& abilities = plan.abilities;
    abilities.name = DesktopName(session, plasma);
    abilities.otherWindows = plan.windows != WaylandDesktopPlan::Windows::None;
    abilities.typing = plan.keys != WaylandDesktopPlan::Keys::None;
    abilities.clipboard = plan.clipboard == WaylandDesktopPlan::ClipboardKind::DataControl;
    abilities.activationKey = plan.activationKey == WaylandDesktopPlan::ActivationKey::KGlobalAccel;
    if (plasma && (!abilities.otherWindows || !abilities.typing) && !offers(PlasmaWindows) && !offers(FakeInput))
        abilities.reason = PlasmaPermissionReason(session.program);
    else
        abilities.reason = MissingProtocolsReason(plan);
    return plan;
}
