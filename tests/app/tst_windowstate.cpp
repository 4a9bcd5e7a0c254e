#include "app/activationhotkey.h"
#include "app/fMain.h"
#include "dialogs/fSelectFAQ.h"
#include "platform/fake/fakeplatform.h"
#include "util/virtualkeys.h"

#include "../dialogs/messagedb.h"
#include "scriptedinteraction.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr std::uint16_t VkF9 = Vk::F1 + 8;
constexpr std::uint16_t VkF10 = Vk::F1 + 9;

QSize Screen()
{
    return QGuiApplication::primaryScreen()->size();
}

// Presses the left button on the splitter's handle, drags it by the offsets in turn and
// releases it; gives the left panel's width after each step.
QList<int> DragSplitter(TfrmMain& w, const QList<int>& offsets)
{
    QSplitterHandle* handle = w.spltMain->handle(1);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    const QPoint start = handle->mapToGlobal(grip);
    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, handle->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(handle, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    QList<int> widths;
    QPoint at = start;
    for (const int offset : offsets) {
        at = start + QPoint(offset, 0);
        send(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        widths.append(w.pnlFAQs->width());
    }
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    return widths;
}

} // namespace

// The program's main window over a scripted desktop, with INI files of its own.
struct Program {
    ScriptedInteraction ui;
    FakePlatform desktop;
    MessageDb db;
    std::unique_ptr<TfrmMain> window;

    Program() { MessageDb::setOption(Setting::Target, u"Notepad"_s); }
    ~Program()
    {
        window.reset();
        frmSelectFAQ = nullptr;
        frmMain = nullptr;
    }

    TfrmMain& create()
    {
        window = std::make_unique<TfrmMain>();
        frmMain = window.get();
        frmSelectFAQ = new TfrmSelectFAQ([](int id) { frmMain->ShowFAQByID(id); }, window.get());
        return *window;
    }
    TfrmMain& start()
    {
        create();
        show();
        return *window;
    }
    // Shows the window and lists it on the desktop (a closed window comes back with a new handle).
    void show()
    {
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("main window not shown");
        if (!desktop.windows.stacking().contains(window->winId()))
            desktop.windows.addExistingWindow(window->winId(), window->windowTitle());
    }
    QString activation() const { return u"activate %1"_s.arg(window->winId()); }
};

class TestWindowState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void savedLayoutIsLimitedToTheScreen();
    void badValueStopsAtItsKeyAndKeepsWhatWasApplied();
    void savedStates();
    void showHotwordActsAsAClick();
    void layoutIsSavedAtDestructionOnlyAfterAShowing();
    void splitterRefusesWidthsOutsideItsRange();
    void trayIconAndMenu();
    void activationKeyIsClaimedAndFollowsTheOptions();
    void closingHidesToTrayUntilExitIsRequested();
    void minimisingHidesTheProgramWithItsWindows();
};

void TestWindowState::savedLayoutIsLimitedToTheScreen()
{
    Program p;
    const QSize screen = Screen();
    MessageDb::setOption(Setting::MainFormLeft, u"5000"_s);
    MessageDb::setOption(Setting::MainFormTop, u"0"_s);
    MessageDb::setOption(Setting::MainFormWidth, u"100"_s);
    MessageDb::setOption(Setting::MainFormHeight, u"5000"_s);
    TfrmMain& w = p.start();
    QCOMPARE(w.pos(), QPoint(screen.width() - 50, 0));
    // The space right of the edge is 50 pixels; the window's own minimum width wins.
    QCOMPARE(w.size(), QSize(640, screen.height()));
    QCOMPARE(w.pnlFAQs->width(), 222);

    // Within the screen the saved bounds and the panel's width apply as they are.
    Program q;
    MessageDb::setOption(Setting::MainFormLeft, u"0"_s);
    MessageDb::setOption(Setting::MainFormTop, u"5"_s);
    MessageDb::setOption(Setting::MainFormWidth, QString::number(screen.width()));
    MessageDb::setOption(Setting::MainFormHeight, u"400"_s);
    MessageDb::setOption(Setting::LeftPanelWidth, u"300"_s);
    TfrmMain& v = q.start();
    QCOMPARE(v.geometry().size(), QSize(screen.width(), 400));
    QCOMPARE(v.pos(), QPoint(0, 5));
    QCOMPARE(v.pnlFAQs->width(), 300);
}

void TestWindowState::badValueStopsAtItsKeyAndKeepsWhatWasApplied()
{
    Program p;
    MessageDb::setOption(Setting::MainFormLeft, u"40"_s);
    MessageDb::setOption(Setting::MainFormTop, u"abc"_s);
    MessageDb::setOption(Setting::MainFormWidth, u"700"_s);
    MessageDb::setOption(Setting::LeftPanelWidth, u"300"_s);
    TfrmMain& w = p.start();
    QCOMPARE(p.ui.texts(u"error"_s), QStringList{u"'abc' is not a valid integer value"_s});
    QCOMPARE(w.x(), 40);
    QCOMPARE(w.width(), 678);
    QCOMPARE(w.pnlFAQs->width(), 222);

    // The window was shown, so its layout is written at the end, mending the bad value.
    const int top = w.y();
    p.window.reset();
    QCOMPARE(MessageDb::option(Setting::MainFormTop), QString::number(top));
}

void TestWindowState::savedStates()
{
    {
        Program p;
        MessageDb::setOption(Setting::MainFormState, u"2"_s);
        MessageDb::setOption(Setting::MainFormLeft, u"10"_s);
        MessageDb::setOption(Setting::LeftPanelWidth, u"300"_s);
        TfrmMain& w = p.start();
        QVERIFY(w.isMaximized());
        QCOMPARE(w.pnlFAQs->width(), 222);
        QVERIFY(w.normalGeometry().x() != 10);
        p.window.reset();
        QCOMPARE(MessageDb::option(Setting::MainFormState), u"2"_s);
    }
    {
        Program p;
        MessageDb::setOption(Setting::MainFormState, u"1"_s);
        MessageDb::setOption(Setting::MainFormLeft, u"10"_s);
        TfrmMain& w = p.start();
        QCOMPARE(w.windowState(), Qt::WindowNoState);
        QVERIFY(w.isVisible());
        QCOMPARE(w.x(), 10);
        p.window.reset();
        QCOMPARE(MessageDb::option(Setting::MainFormState), u"0"_s);
    }
    {
        // A value the program never writes leaves the state alone and the bounds applied.
        Program p;
        MessageDb::setOption(Setting::MainFormState, u"7"_s);
        MessageDb::setOption(Setting::MainFormLeft, u"10"_s);
        TfrmMain& w = p.start();
        QCOMPARE(w.windowState(), Qt::WindowNoState);
        QCOMPARE(w.x(), 10);
        QVERIFY(p.ui.shown.isEmpty());
    }
}

void TestWindowState::showHotwordActsAsAClick()
{
    Program p;
    p.db.addMessage(u"Greeting"_s, u"hi"_s, u"Hello"_s);
    MessageDb::setOption(Setting::ShowHotword, u"yes"_s);
    TfrmMain& w = p.start();
    QVERIFY(w.chkShowHotWord->isChecked());
    QCOMPARE(w.tvFAQs->topLevelItem(0)->text(0), u"Greeting / hi"_s);
    QCOMPARE(MessageDb::option(Setting::ShowHotword), u"True"_s);
}

void TestWindowState::layoutIsSavedAtDestructionOnlyAfterAShowing()
{
    {
        Program p;
        MessageDb::setOption(Setting::MainFormLeft, u"70"_s);
        p.create();
        p.window.reset();
        QCOMPARE(MessageDb::option(Setting::MainFormLeft), u"70"_s);
        QCOMPARE(MessageDb::option(Setting::MainFormState), u"<missing>"_s);
    }
    Program p;
    TfrmMain& w = p.start();
    w.move(120, 130);
    w.resize(700, 420);
    p.window.reset();
    QFile options(p.db.folder.filePath(u"options.ini"_s));
    QVERIFY(options.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(options.readAll());
    QVERIFY2(text.endsWith(u"[Startup Settings]\nMain Form State=0\nMain Form Left=120\nMain Form Top=130\n"
                           "Main Form Width=700\nMain Form Height=420\n"_s),
             qPrintable(text));
}

void TestWindowState::splitterRefusesWidthsOutsideItsRange()
{
    Program p;
    TfrmMain& w = p.start();
    w.resize(900, 400); // drags may reach 223 to 449
    QCOMPARE(w.pnlFAQs->width(), 222);

    // Left of 223 nothing moves; inside the range the panel follows; from the half on it stays.
    QCOMPARE(DragSplitter(w, {-10, 0, 40, 227, 228, 300}), (QList<int>{222, 222, 262, 449, 449, 449}));
    QCOMPARE(MessageDb::option(Setting::LeftPanelWidth), u"449"_s);

    // A drag that ends where it began writes nothing.
    MessageDb::setOption(Setting::LeftPanelWidth, u"unchanged"_s);
    QCOMPARE(DragSplitter(w, {-300}), (QList<int>{449}));
    QCOMPARE(MessageDb::option(Setting::LeftPanelWidth), u"unchanged"_s);
}

void TestWindowState::trayIconAndMenu()
{
    Program p;
    TfrmMain& w = p.create();
    // Present from the window's creation, before it is shown.
    QVERIFY(w.tiIcon->isVisible());
    QCOMPARE(w.tiIcon->toolTip(), u"Tolvane QuillBay"_s);
    QCOMPARE(w.tiIcon->icon().pixmap(32, 32).size(), QSize(32, 32));
    QVERIFY(!w.tiIcon->icon().pixmap(32, 32).toImage().allGray());
    QStringList items;
    for (const QAction* item : w.mnuSystemTray->actions())
        items << item->text();
    QCOMPARE(items, (QStringList{u"Restore"_s, u"E&xit"_s}));
    QCOMPARE(w.mnuSystemTray->actions().front(), w.actRestore);

    p.show();
    w.HideToTray();
    Q_EMIT w.tiIcon->activated(QSystemTrayIcon::Trigger);
    QVERIFY(w.isHidden());
    QVERIFY(!p.desktop.journal.contains(p.activation()));
    Q_EMIT w.tiIcon->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(w.isVisible());
    QVERIFY(p.desktop.journal.contains(p.activation()));
    QCOMPARE(w.focusWidget(), w.txtSearchTerm);
}

void TestWindowState::activationKeyIsClaimedAndFollowsTheOptions()
{
    Program p;
    FakeGlobalHotKey& desktopKey = p.desktop.activationKey;
    MessageDb::setOption(Setting::ActivateKey, u"Ctrl+F10"_s);
    TfrmMain& w = p.start();
    QCOMPARE(desktopKey.key, VkF10);
    QCOMPARE(desktopKey.shiftState, ShiftState::Ctrl);
    QVERIFY(w.jvActivateMe->isClaimed());

    // Pressed while another program is in front.
    const WindowHandle editor = p.desktop.windows.addWindow(u"note.txt - Mousepad"_s);
    p.desktop.windows.active = editor;
    w.tvFAQs->setFocus();
    QVERIFY(desktopKey.press());
    QCOMPARE(p.desktop.windows.active, w.winId());
    QCOMPARE(w.focusWidget(), w.txtSearchTerm);

    // The same key again asks the desktop for nothing.
    p.desktop.journal.clear();
    w.ApplyOptions();
    QCOMPARE(p.desktop.journal, QStringList{});

    // A key that another program holds is refused silently and works inside the window.
    desktopKey.takenKeys = {VkF9};
    MessageDb::setOption(Setting::ActivateKey, u"F9"_s);
    w.ApplyOptions();
    QCOMPARE(p.desktop.journal, (QStringList{u"hot key cleared"_s, u"hot key 0x78 0"_s}));
    QVERIFY(!w.jvActivateMe->isClaimed());
    QVERIFY(!desktopKey.press());
    QVERIFY(p.ui.shown.isEmpty());
    w.tvFAQs->setFocus();
    QTest::keyClick(w.tvFAQs, Qt::Key_F9);
    QCOMPARE(w.focusWidget(), w.txtSearchTerm);

    // A later change asks again; the key is given back at the end.
    MessageDb::setOption(Setting::ActivateKey, u"F11"_s);
    w.ApplyOptions();
    QCOMPARE(desktopKey.key, Vk::F11);
    p.desktop.journal.clear();
    p.window.reset();
    QCOMPARE(p.desktop.journal, QStringList{u"hot key cleared"_s});
}

void TestWindowState::closingHidesToTrayUntilExitIsRequested()
{
    Program p;
    TfrmMain& w = p.start();
    QVERIFY(w.close()); // "Minimize On Close" is off by default

    MessageDb::setOption(Setting::MinimizeOnClose, u"True"_s);
    p.show();
    QVERIFY(!w.close());
    QVERIFY(w.isHidden());
    w.BringProgramToFront();
    QVERIFY(w.isVisible());
    w.actExit->trigger();
    QVERIFY(w.isHidden());
    QVERIFY(!w.ExitRequested());

    // The tray's Exit closes the window for good, also while it is hidden.
    w.setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<TfrmMain> alive = p.window.release();
    w.mnuSystemTrayExit->trigger();
    QTRY_VERIFY(alive.isNull());
}

void TestWindowState::minimisingHidesTheProgramWithItsWindows()
{
    Program p;
    p.db.addMessage(u"One"_s, u"one"_s, u"same 1"_s);
    p.db.addMessage(u"Two"_s, u"two"_s, u"same 2"_s);
    TfrmMain& w = p.start();
    w.resize(900, 500);
    w.cmbSearchType->setCurrentIndex(2);
    w.txtSearchTerm->setText(u"same"_s);
    w.actSearch->trigger();
    QVERIFY(frmSelectFAQ->isVisible());

    w.showMinimized();
    QTRY_VERIFY(w.isHidden());
    QVERIFY(frmSelectFAQ->isHidden());
    QVERIFY(w.tiIcon->isVisible());

    // Back in the state and bounds it had, with the dialog it had open.
    w.tvFAQs->setFocus();
    w.BringProgramToFront();
    QVERIFY(w.isVisible());
    QCOMPARE(w.windowState(), Qt::WindowNoState);
    QCOMPARE(w.size(), QSize(900, 500));
    QVERIFY(frmSelectFAQ->isVisible());
    QVERIFY(p.desktop.journal.contains(p.activation()));
    QCOMPARE(w.focusWidget(), w.txtSearchTerm);
}

QTEST_MAIN(TestWindowState)
#include "tst_windowstate.moc"
