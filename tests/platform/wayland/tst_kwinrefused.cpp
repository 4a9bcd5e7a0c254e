// Where KWin does not let the program in (no desktop file names it), and on a compositor that is
// not KWin at all, each part of the KDE Plasma layer says so with an Error instead of failing later.
#include "platform/wayland/fakeinputkeyboard.h"
#include "platform/wayland/kglobalaccelhotkey.h"
#include "platform/wayland/plasmawindowsystem.h"
#include "platform/wayland/waylandconnection.h"

#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

class TestKWinRefused : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void partsRefused_data();
    void partsRefused();
};

void TestKWinRefused::partsRefused_data()
{
    using Make = std::function<void(WaylandConnection&)>;
    QTest::addColumn<Make>("make");
    QTest::addColumn<bool>("available");
    // KWin runs the global shortcut service itself; other compositors have none.
    const bool kwin = !qEnvironmentVariableIsSet("SWAYSOCK");
    QTest::newRow("window list") << Make([](WaylandConnection& c) { PlasmaWindowSystem windows(c); }) << false;
    QTest::newRow("keys") << Make([](WaylandConnection& c) { FakeInputKeyboardSynth keys(c); }) << false;
    QTest::newRow("activation key") << Make([](WaylandConnection&) { KGlobalAccelHotKey key; }) << kwin;
}

void TestKWinRefused::partsRefused()
{
    QFETCH(std::function<void(WaylandConnection&)>, make);
    QFETCH(bool, available);
    WaylandConnection connection;
    bool refused = false;
    try {
        make(connection);
    } catch (const Error& error) {
        refused = true;
        QVERIFY(!error.text().isEmpty());
    }
    QCOMPARE(refused, !available);
}

QTEST_GUILESS_MAIN(TestKWinRefused)
#include "tst_kwinrefused.moc"
