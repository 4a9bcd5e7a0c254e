#include "app/activationhotkey.h"
#include "app/fMain.h"
#include "app/traycontroller.h"
#include "dialogs/fSelectFAQ.h"
#include "mainwindowfixture.h"
#include "platform/fake/fakeplatform.h"
#include "util/virtualkeys.h"

#include "../dialogs/messagedb.h"
#include "childbyname.h"
#include "scriptedinteraction.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

// The main window over a scripted desktop, with INI files of its own.
struct Program : MainWindowFixture {
    TfrmMain& start()
    {
        create().show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("main window not shown");
        desktop.windows.addExistingWindow(window->winId(), window->windowTitle());
        return *window;
    }
};

// Drags the splitter's handle by the offsets in turn, then lets go; the panel's width after each.
QList<int> DragSplitter(TfrmMain& w, const QList<int>& offsets)
{
    QSplitterHandle* handle = child<QSplitter>(w, "spltMain")->handle(1);
    const QPoint start = handle->mapToGlobal(handle->rect().center());
    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, handle->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(handle, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    QList<int> widths;
    for (const int offset : offsets) {
        send(QEvent::MouseMove, start + QPoint(offset, 0), Qt::NoButton, Qt::LeftButton);
        widths.append(child<QWidget>(w, "pnlFAQs")->width());
    }
    send(QEvent::MouseButtonRelease, start + QPoint(offsets.last(), 0), Qt::LeftButton, Qt::NoButton);
    return widths;
}

class TestWindowState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void restoreStopsAtABadValue();
    void savedStates();
    void layoutIsSavedOnlyAfterAShowing();
    void layoutOnFullDiskIsNamedAtExit();
    void splitterRefusesWidthsOutsideItsRange();
    void activationKeyFollowsTheOptions();
    void typingKeyIsNoActivationKey_data();
    void typingKeyIsNoActivationKey();
    void minimisingTakesTheOpenDialogAlong();
};

void TestWindowState::restoreStopsAtABadValue()
{
    Program p;
    MessageDb::setOption(Setting::ShowHotword, u"yes"_s);
    MessageDb::setOption(Setting::MainFormLeft, u"40"_s);
    MessageDb::setOption(Setting::MainFormTop, u"abc"_s);
    MessageDb::setOption(Setting::MainFormWidth, u"700"_s);
    MessageDb::setOption(Setting::LeftPanelWidth, u"300"_s);
    TfrmMain& w = p.start();
    QCOMPARE(
        p.ui.texts(u"error"_s),
        QStringList{u"'abc' is not a valid integer value: key \"Main Form Top\" in section [Startup Settings] of "_s
                    + QDir::toNativeSeparators(p.db.folder.filePath(u"options.ini"_s)) + u'.'});
    QCOMPARE(w.x(), 40);
    QCOMPARE(w.width(), 678);
    QCOMPARE(child<QWidget>(w, "pnlFAQs")->width(), 222);
    // Show Hotword came first and acted as a click, which writes the setting back.
    QCOMPARE(MessageDb::option(Setting::ShowHotword), u"True"_s);
}

void TestWindowState::savedStates()
{
    {
        // Maximised: neither the bounds nor the panel's width apply.
        Program p;
        MessageDb::setOption(Setting::MainFormState, u"2"_s);
        MessageDb::setOption(Setting::LeftPanelWidth, u"300"_s);
        TfrmMain& w = p.start();
        QVERIFY(w.isMaximized());
        QCOMPARE(child<QWidget>(w, "pnlFAQs")->width(), 222);
        p.window.reset();
        QCOMPARE(MessageDb::option(Setting::MainFormState), u"2"_s);
    }
    // Minimised opens normal, and the bounds and the panel's width apply.
    Program p;
    MessageDb::setOption(Setting::MainFormState, u"1"_s);
    MessageDb::setOption(Setting::MainFormLeft, u"0"_s);
    MessageDb::setOption(Setting::MainFormWidth, u"5000"_s);
    MessageDb::setOption(Setting::LeftPanelWidth, u"300"_s);
    TfrmMain& w = p.start();
    QCOMPARE(w.windowState(), Qt::WindowNoState);
    QCOMPARE(w.frameGeometry().width(), QGuiApplication::primaryScreen()->size().width());
    QCOMPARE(child<QWidget>(w, "pnlFAQs")->width(), 300);
}

void TestWindowState::layoutIsSavedOnlyAfterAShowing()
{
    {
        Program p;
        MessageDb::setOption(Setting::MainFormLeft, u"70"_s);
        p.create();
        p.window.reset();
        QCOMPARE(MessageDb::option(Setting::MainFormLeft), u"70"_s);
    }
    Program p;
    TfrmMain& w = p.start();
    w.move(120, 130);
    w.resize(700, 420);
    // The outer bounds are saved, frame included.
    const QSize outer = w.frameGeometry().size();
    p.window.reset();
    QFile options(p.db.folder.filePath(u"options.ini"_s));
    QVERIFY(options.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(options.readAll()).section(u"[Startup Settings]\n"_s, 1),
             u"Main Form State=0\nMain Form Left=120\nMain Form Top=130\nMain Form Width=%1\nMain Form Height=%2\n"_s
                 .arg(outer.width())
                 .arg(outer.height()));
}

void TestWindowState::layoutOnFullDiskIsNamedAtExit()
{
    if (!FullDisk::available())
        QSKIP("no file size limit on this system");
    Program p;
    const QString path = p.db.folder.filePath(u"options.ini"_s);
    TfrmMain& w = p.start();
    w.move(120, 130);
    const QByteArray before = ReadFileBytes(path);
    QVERIFY(before.contains("Target=Notepad"));
    {
        // The program still ends; the user is told that the layout was not kept.
        const FullDisk full;
        p.window.reset();
    }
    QCOMPARE(p.ui.texts(u"error"_s),
             QStringList{u"Unable to write to %1: %2. The file was left as it was."_s.arg(
                 QDir::toNativeSeparators(path), FullDisk::reason())});
    QCOMPARE(ReadFileBytes(path), before);
}

void TestWindowState::splitterRefusesWidthsOutsideItsRange()
{
    Program p;
    TfrmMain& w = p.start();
    w.resize(900, 400); // drags may reach 223 to 449

    // Up to 222 nothing moves; inside the range the panel follows; from the half on it stays.
    QCOMPARE(DragSplitter(w, {-10, 0, 40, 227, 228, 300}), (QList<int>{222, 222, 262, 449, 449, 449}));
    QCOMPARE(MessageDb::option(Setting::LeftPanelWidth), u"449"_s);
    // A drag that changes nothing writes nothing.
    MessageDb::setOption(Setting::LeftPanelWidth, u"unchanged"_s);
    QCOMPARE(DragSplitter(w, {-300}), (QList<int>{449}));
    QCOMPARE(MessageDb::option(Setting::LeftPanelWidth), u"unchanged"_s);
}

void TestWindowState::activationKeyFollowsTheOptions()
{
    Program p;
    FakeGlobalHotKey& desktopKey = p.desktop.activationKey;
    MessageDb::setOption(Setting::ActivateKey, u"Ctrl+F11"_s);
    TfrmMain& w = p.start();
    QCOMPARE(desktopKey.key, Vk::F11);
    QCOMPARE(desktopKey.shiftState, ShiftState::Ctrl);

    // The same key again asks the desktop for nothing.
    p.desktop.journal.clear();
    w.ApplyOptions();
    QCOMPARE(p.desktop.journal, QStringList{});

    // A key that another program holds is refused silently and works inside the window.
    desktopKey.takenKeys = {Vk::F12};
    MessageDb::setOption(Setting::ActivateKey, u"F12"_s);
    w.ApplyOptions();
    QCOMPARE(p.desktop.journal, (QStringList{u"hot key cleared"_s, u"hot key 0x7b 0"_s}));
    QVERIFY(!w.tray().jvActivateMe->isClaimed());
    QVERIFY(p.ui.shown.isEmpty());
    child<QTreeWidget>(w, "tvFAQs")->setFocus();
    QTest::keyClick(child<QTreeWidget>(w, "tvFAQs"), Qt::Key_F12);
    QCOMPARE(w.focusWidget(), child<QLineEdit>(w, "txtSearchTerm"));

    // A later change asks again; the key is given back at the end.
    MessageDb::setOption(Setting::ActivateKey, u"F11"_s);
    w.ApplyOptions();
    QVERIFY(w.tray().jvActivateMe->isClaimed());
    p.desktop.journal.clear();
    p.window.reset();
    QCOMPARE(p.desktop.journal, QStringList{u"hot key cleared"_s});
}

void TestWindowState::typingKeyIsNoActivationKey_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<HotKey>("key");
    QTest::newRow("letter") << u"K"_s << HotKey{};
    QTest::newRow("Shift+letter") << u"Shift+K"_s << HotKey{};
    QTest::newRow("Space") << u"Space"_s << HotKey{};
    QTest::newRow("Ctrl+letter") << u"Ctrl+K"_s << HotKey{Vk::KeyA + 10, ShiftState::Ctrl};
    QTest::newRow("Ctrl+Shift+letter") << u"ctrl+shift+k"_s
                                       << HotKey{Vk::KeyA + 10, ShiftState::Ctrl | ShiftState::Shift};
    QTest::newRow("Alt+digit") << u"Alt+7"_s << HotKey{Vk::Key0 + 7, ShiftState::Alt};
    QTest::newRow("function key") << u"F8"_s << HotKey{Vk::F1 + 7, 0};
}

void TestWindowState::typingKeyIsNoActivationKey()
{
    QFETCH(QString, stored);
    QFETCH(HotKey, key);
    Program p;
    MessageDb::setOption(Setting::ActivateKey, stored);
    TfrmMain& w = p.start();
    QCOMPARE(w.ActivateHotKey(), key);
    QCOMPARE(p.desktop.activationKey.key, key.key);
    QCOMPARE(p.desktop.activationKey.shiftState, key.shift);
}

void TestWindowState::minimisingTakesTheOpenDialogAlong()
{
    Program p;
    p.db.addMessage(u"One"_s, u"one"_s, u"same 1"_s);
    p.db.addMessage(u"Two"_s, u"two"_s, u"same 2"_s);
    TfrmMain& w = p.start();
    child<QComboBox>(w, "cmbSearchType")->setCurrentIndex(2);
    child<QLineEdit>(w, "txtSearchTerm")->setText(u"same"_s);
    child<QAction>(w, "actSearch")->trigger();
    QVERIFY(w.selectDialog().isVisible());

    w.showMinimized();
    QTRY_VERIFY(w.isHidden());
    QVERIFY(w.selectDialog().isHidden());
    w.BringProgramToFront();
    QCOMPARE(w.windowState(), Qt::WindowNoState);
    QVERIFY(w.selectDialog().isVisible());
    QCOMPARE(p.desktop.windows.active, w.winId());
}

QTEST_MAIN(TestWindowState)
#include "tst_windowstate.moc"
