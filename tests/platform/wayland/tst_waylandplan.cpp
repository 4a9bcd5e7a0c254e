// Which protocol serves each part of a Wayland desktop, and what the program says is missing.
#include "platform/wayland/waylandplatform.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Plan = WaylandDesktopPlan;

class TestWaylandPlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plan_data();
    void plan();
};

void TestWaylandPlan::plan_data()
{
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QString>("currentDesktop");
    QTest::addColumn<bool>("swaySocket");
    QTest::addColumn<int>("windows");
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("clipboard");
    QTest::addColumn<int>("activationKey");
    QTest::addColumn<QString>("name");
    // Windows, typing, clipboard, activation key as 1 and 0.
    QTest::addColumn<QString>("abilities");
    QTest::addColumn<QStringList>("reasonHolds");
    QTest::addColumn<QStringList>("reasonLacks");

    const QString toplevel = u"zwlr_foreign_toplevel_manager_v1"_s;
    const QString virtualKeyboard = u"zwp_virtual_keyboard_manager_v1"_s;
    const QString dataControl = u"zwlr_data_control_manager_v1"_s;
    const QString plasmaWindows = u"org_kde_plasma_window_management"_s;
    const QString fakeInput = u"org_kde_kwin_fake_input"_s;
    const QString plasmaShell = u"org_kde_plasma_shell"_s;
    const QString shortcuts = u"shortcut settings"_s;
    const QString portals = u"portals"_s;
    const QString desktopFile = u"X-KDE-Wayland-Interfaces=org_kde_plasma_window_management,org_kde_kwin_fake_input"_s;
    const auto windows = [](Plan::Windows value) { return int(value); };
    const auto keys = [](Plan::Keys value) { return int(value); };
    const auto clipboard = [](Plan::ClipboardKind value) { return int(value); };
    const auto key = [](Plan::ActivationKey value) { return int(value); };

    // Globals as sway 1.7 and KWin 5.27 offer them here (wayland-info), mutter 43 offers none.
    QTest::newRow("sway") << QStringList{toplevel, dataControl, virtualKeyboard} << QString() << true
                          << windows(Plan::Windows::ForeignToplevel) << keys(Plan::Keys::VirtualKeyboard)
                          << clipboard(Plan::ClipboardKind::DataControl) << key(Plan::ActivationKey::DesktopBound)
                          << u"sway"_s << u"1110"_s << QStringList{shortcuts} << QStringList{portals, desktopFile};
    QTest::newRow("another wlroots desktop names itself")
        << QStringList{toplevel, dataControl, virtualKeyboard} << u"Hyprland"_s << false
        << windows(Plan::Windows::ForeignToplevel) << keys(Plan::Keys::VirtualKeyboard)
        << clipboard(Plan::ClipboardKind::DataControl) << key(Plan::ActivationKey::DesktopBound) << u"Hyprland"_s
        << u"1110"_s << QStringList{shortcuts} << QStringList{portals};
    QTest::newRow("wlroots without data control")
        << QStringList{toplevel, virtualKeyboard} << u"sway"_s << true << windows(Plan::Windows::ForeignToplevel)
        << keys(Plan::Keys::VirtualKeyboard) << clipboard(Plan::ClipboardKind::Focus)
        << key(Plan::ActivationKey::DesktopBound) << u"sway"_s << u"1100"_s
        << QStringList{u"The compositor of sway offers no protocol for the clipboard while another program has the "
                       "focus (zwlr_data_control_manager_v1)."_s}
        << QStringList{portals};
    QTest::newRow("KWin for a program its desktop file declares")
        << QStringList{dataControl, plasmaShell, plasmaWindows, fakeInput} << QString() << false
        << windows(Plan::Windows::PlasmaWindowManagement) << keys(Plan::Keys::FakeInput)
        << clipboard(Plan::ClipboardKind::DataControl) << key(Plan::ActivationKey::KGlobalAccel) << u"KDE Plasma"_s
        << u"1111"_s << QStringList() << QStringList{desktopFile, shortcuts};
    QTest::newRow("KWin: its own protocols before the wlroots ones")
        << QStringList{toplevel, virtualKeyboard, dataControl, plasmaWindows, fakeInput} << u"KDE"_s << false
        << windows(Plan::Windows::PlasmaWindowManagement) << keys(Plan::Keys::FakeInput)
        << clipboard(Plan::ClipboardKind::DataControl) << key(Plan::ActivationKey::KGlobalAccel) << u"KDE Plasma"_s
        << u"1111"_s << QStringList() << QStringList();
    QTest::newRow("KWin hiding its protocols: the desktop file is named")
        << QStringList{dataControl, plasmaShell} << QString() << false << windows(Plan::Windows::None)
        << keys(Plan::Keys::None) << clipboard(Plan::ClipboardKind::DataControl)
        << key(Plan::ActivationKey::KGlobalAccel) << u"KDE Plasma"_s << u"0011"_s
        << QStringList{u"quillbay.desktop"_s, desktopFile, u"starts /opt/quillbay/bin/quillbay,"_s}
        << QStringList{portals, shortcuts};
    QTest::newRow("KDE known by the session alone")
        << QStringList{dataControl} << u"KDE"_s << false << windows(Plan::Windows::None) << keys(Plan::Keys::None)
        << clipboard(Plan::ClipboardKind::DataControl) << key(Plan::ActivationKey::KGlobalAccel) << u"KDE Plasma"_s
        << u"0011"_s << QStringList{desktopFile} << QStringList{portals};
    QTest::newRow("GNOME") << QStringList() << u"ubuntu:GNOME"_s << false << windows(Plan::Windows::None)
                           << keys(Plan::Keys::None) << clipboard(Plan::ClipboardKind::Focus)
                           << key(Plan::ActivationKey::DesktopBound) << u"GNOME"_s << u"0000"_s
                           << QStringList{u"The compositor of GNOME offers no protocol for listing and activating "
                                          "other programs' windows"_s,
                                          portals, u"Remote Desktop"_s, shortcuts}
                           << QStringList{desktopFile};
    QTest::newRow("a compositor that names nothing")
        << QStringList() << QString() << false << windows(Plan::Windows::None) << keys(Plan::Keys::None)
        << clipboard(Plan::ClipboardKind::Focus) << key(Plan::ActivationKey::DesktopBound) << u"this Wayland desktop"_s
        << u"0000"_s << QStringList{portals, shortcuts} << QStringList();
    QTest::newRow("windows without keys")
        << QStringList{toplevel, dataControl} << u"river"_s << false << windows(Plan::Windows::ForeignToplevel)
        << keys(Plan::Keys::None) << clipboard(Plan::ClipboardKind::DataControl)
        << key(Plan::ActivationKey::DesktopBound) << u"river"_s << u"1010"_s
        << QStringList{u"typing keys (zwp_virtual_keyboard_manager_v1)"_s, portals}
        << QStringList{u"listing and activating"_s};
}

void TestWaylandPlan::plan()
{
    QFETCH(QStringList, offered);
    QFETCH(QString, currentDesktop);
    QFETCH(bool, swaySocket);
    QFETCH(int, windows);
    QFETCH(int, keys);
    QFETCH(int, clipboard);
    QFETCH(int, activationKey);
    QFETCH(QString, name);
    QFETCH(QString, abilities);
    QFETCH(QStringList, reasonHolds);
    QFETCH(QStringList, reasonLacks);

    const Plan plan = PlanWaylandDesktop({offered, currentDesktop, swaySocket, u"/opt/quillbay/bin/quillbay"_s});
    QCOMPARE(int(plan.windows), windows);
    QCOMPARE(int(plan.keys), keys);
    QCOMPARE(int(plan.clipboard), clipboard);
    QCOMPARE(int(plan.activationKey), activationKey);
    QCOMPARE(plan.abilities.name, name);
    const DesktopAbilities& can = plan.abilities;
    QCOMPARE(QString(QChar(can.otherWindows ? u'1' : u'0')) + QChar(can.typing ? u'1' : u'0')
                 + QChar(can.clipboard ? u'1' : u'0') + QChar(can.activationKey ? u'1' : u'0'),
             abilities);
    QCOMPARE(can.reason.isEmpty(), abilities == u"1111"_s);
    for (const QString& part : std::as_const(reasonHolds))
        QVERIFY2(can.reason.contains(part), qPrintable(can.reason));
    for (const QString& part : std::as_const(reasonLacks))
        QVERIFY2(!can.reason.contains(part), qPrintable(can.reason));
    // Every name the plan looks at is one it can be given.
    for (const QString& interface : std::as_const(offered))
        QVERIFY(WaylandPlanInterfaces().contains(interface));
}

QTEST_GUILESS_MAIN(TestWaylandPlan)
#include "tst_waylandplan.moc"
