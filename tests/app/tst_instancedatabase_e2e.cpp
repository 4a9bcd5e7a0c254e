// The built program on a real X11 desktop (Xvfb and openbox) with its embedded database
// beside it, as a portable copy keeps it: a file dialog that lists the data folder, a second
// copy started by another user, another program that saves meanwhile, and a copy that was
// killed. No Message may be lost.
#include "desktoptools.h"
#include "posixlocks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A visible window of the process other than the one given, or empty.
QString OtherWindow(qint64 pid, const QString& known)
{
    for (const QString& window : VisibleWindows(pid)) {
        if (window != known)
            return window;
    }
    return {};
}

} // namespace

class TestInstanceDatabaseEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void noMessageLost();
    void killedCopyLeavesTheFileFree();

private:
    // Starts the program as the user whose home folder is given; its main window, or empty
    // when none showed.
    QString start(QProcess& program, const QString& home);
    // Adds a Message through another program's own connection to the database.
    bool saveElsewhere(const QString& hotword);

    ProgramFolder folder{QStringLiteral(QB_PROGRAM)};
    QString database;
};

void TestInstanceDatabaseEndToEnd::initTestCase()
{
    QFile options(folder.filePath(u"options.ini"_s));
    QVERIFY(options.open(QIODevice::WriteOnly));
    QVERIFY(options.write("[Options]\nTarget=Notepad\n") > 0);
    options.close();
    database = folder.filePath(u"quillbay.db"_s);
}

QString TestInstanceDatabaseEndToEnd::start(QProcess& program, const QString& home)
{
    QProcessEnvironment environment = folder.environment();
    environment.insert(u"HOME"_s, home);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(folder.program(), {});
    QString window;
    const QStringList search{u"--all"_s, u"--pid"_s, QString::number(program.processId()), u"--name"_s,
                             u"^Tolvane Quillbay$"_s};
    if (program.waitForStarted())
        WaitFor([&] { return !(window = FindVisibleWindow(search)).isEmpty(); }, 20000);
    return window;
}

bool TestInstanceDatabaseEndToEnd::saveElsewhere(const QString& hotword)
{
    // Its connection closes before it returns, as when that program ends.
    return AddMessageTo(database, hotword, u"saved by another program"_s);
}

void TestInstanceDatabaseEndToEnd::noMessageLost()
{
    // The first copy's user keeps the program's folder as the home folder, where File >
    // Import starts: its file dialog lists the database files.
    QProcess first;
    const QString mainWindow = start(first, QFileInfo(folder.program()).absolutePath());
    QVERIFY(!mainWindow.isEmpty());
    const QStringList locks = PosixLocksOf(first.processId(), SqliteFiles(database));
#ifdef Q_OS_LINUX
    QVERIFY(!locks.isEmpty());
#endif
    ActivateWindow(mainWindow);
    TypeKeys({u"alt+f"_s, u"i"_s});
    QString picker;
    QVERIFY(WaitFor([&] { return !(picker = OtherWindow(first.processId(), mainWindow)).isEmpty(); }));
    // Time to list the folder and look at every file in it.
    QTest::qWait(1500);
    ActivateWindow(picker);
    TypeKeys({u"Escape"_s});
    QVERIFY(WaitFor([&] { return OtherWindow(first.processId(), mainWindow).isEmpty(); }));
    QCOMPARE(PosixLocksOf(first.processId(), SqliteFiles(database)), locks);

    // Another user starts the same copy: refused before it opens the database, with a box.
    QTemporaryDir otherHome;
    QProcess second;
    QProcessEnvironment environment = folder.environment();
    environment.insert(u"HOME"_s, otherHome.path());
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(folder.program(), {});
    QVERIFY(second.waitForStarted());
    QString box;
    QVERIFY(WaitFor([&] {
        return !(box = FindVisibleWindow({u"--pid"_s, QString::number(second.processId())})).isEmpty();
    }));
    QVERIFY(PosixLocksOf(second.processId(), SqliteFiles(database)).isEmpty());
    ActivateWindow(box);
    TypeKeys({u"Return"_s});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);

    // Another program saves and ends; then the first copy saves and ends.
    QVERIFY(saveElsewhere(u"lossB"_s));
    ActivateWindow(mainWindow);
    TypeKeys({u"alt+n"_s});
    QString dialog;
    QVERIFY(WaitFor([&] { return !(dialog = FindVisibleWindow({u"--name"_s, u"^Add/Edit Message$"_s})).isEmpty(); }));
    ActivateWindow(dialog);
    TypeText(u"lossA2"_s);
    TypeKeys({u"Tab"_s});
    TypeText(u"Saved by the first copy"_s);
    TypeKeys({u"Tab"_s});
    TypeText(u"Text of the first copy"_s);
    TypeKeys({u"alt+s"_s});
    QVERIFY(WaitFor([&] { return FindVisibleWindow({u"--name"_s, u"^Add/Edit Message$"_s}).isEmpty(); }));
    QCOMPARE(MessageTextIn(database, u"lossA2"_s), u"Text of the first copy"_s);
    ActivateWindow(mainWindow);
    TypeKeys({u"alt+f"_s, u"x"_s});
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitCode(), 0);

    QCOMPARE(MessageTextIn(database, u"lossB"_s), u"saved by another program"_s);
    QCOMPARE(MessageTextIn(database, u"lossA2"_s), u"Text of the first copy"_s);
    QVERIFY(!QFile::exists(database + u".lock"_s));
}

void TestInstanceDatabaseEndToEnd::killedCopyLeavesTheFileFree()
{
    QTemporaryDir home;
    QProcess killed;
    QVERIFY(!start(killed, home.path()).isEmpty());
    QVERIFY(QFile::exists(database + u".lock"_s));
    killed.kill();
    QVERIFY(killed.waitForFinished());

    // Another user's copy finds the lock of a copy that is gone, and starts.
    QTemporaryDir otherHome;
    QProcess next;
    QVERIFY(!start(next, otherHome.path()).isEmpty());
    next.kill();
    QVERIFY(next.waitForFinished());
}

QTEST_MAIN(TestInstanceDatabaseEndToEnd)
#include "tst_instancedatabase_e2e.moc"
