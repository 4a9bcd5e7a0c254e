#include "desktoptools.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

bool IsDialog(const QString& window)
{
    return RunTool(u"xprop"_s, {u"-id"_s, window, u"_NET_WM_WINDOW_TYPE"_s}).contains(u"_NET_WM_WINDOW_TYPE_DIALOG"_s);
}

} // namespace

// The built program in a folder of its own, on a real X server with a window manager.
class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsOnTheEmbeddedExampleDatabase();
    void fatalNoticeEndsWithFailureStatus_data();
    void fatalNoticeEndsWithFailureStatus();
    void commandLineAnswers_data();
    void commandLineAnswers();
    void helpOpensWithTheDesktopsProgram();
};

void TestStartup::startsOnTheEmbeddedExampleDatabase()
{
    const ProgramFolder folder(QStringLiteral(QB_PROGRAM));

    QProcess quillbay;
    QVERIFY(folder.start(quillbay));
    const qint64 pid = quillbay.processId();

    // No destination is set yet: the first-run notice is the one box, before the window.
    QStringList windows;
    QVERIFY(WaitFor([&] { return !(windows = VisibleWindows(pid)).isEmpty(); }, 20000));
    QCOMPARE(windows.size(), 1);
    QVERIFY(IsDialog(windows.front()));
    QCOMPARE(Xdotool({u"getwindowname"_s, windows.front()}), u"Tolvane Quillbay"_s);
    PressKeys(windows.front(), {u"Return"_s});

    QVERIFY(WaitFor([&] {
        windows = VisibleWindows(pid);
        return windows.size() == 1 && !IsDialog(windows.front());
    }));
    const QString mainWindow = windows.front();
    QCOMPARE(Xdotool({u"getwindowname"_s, mainWindow}), u"Tolvane Quillbay"_s);
    QThread::msleep(500);
    QCOMPARE(VisibleWindows(pid), QStringList{mainWindow});

    // The first node of the example tree shows its Message: from the search box back to the
    // tree, step down and up to its first node, then copy the shown text.
    PressKeys(mainWindow,
              {u"shift+Tab"_s, u"shift+Tab"_s, u"shift+Tab"_s, u"Down"_s, u"Up"_s, u"F2"_s, u"Tab"_s, u"Tab"_s,
               u"Tab"_s, u"ctrl+a"_s, u"ctrl+c"_s});
    QString expected;
    {
        auto db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
        db.setDatabaseName(folder.filePath(u"quillbay.db"_s));
        QVERIFY(db.open());
        QSqlQuery first(u"select Text from FAQ where GroupID = 0 order by ShortName collate nocase, ID limit 1"_s, db);
        QVERIFY(first.next());
        expected = first.value(0).toString();
    }
    QSqlDatabase::removeDatabase(u"check"_s);
    QVERIFY(!expected.isEmpty());
    QString copied;
    QVERIFY(WaitFor(
        [&] {
            copied = RunTool(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s});
            return copied == expected.trimmed();
        },
        5000));
    QCOMPARE(VisibleWindows(pid), QStringList{mainWindow});

    // File, Exit ends the program.
    PressKeys(mainWindow, {u"alt+f"_s, u"x"_s});
    QVERIFY(quillbay.waitForFinished(10000));
    QCOMPARE(quillbay.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quillbay.exitCode(), 0);
}

void TestStartup::fatalNoticeEndsWithFailureStatus_data()
{
    QTest::addColumn<QString>("schema");
    // The database opens, but its Messages cannot be listed.
    QTest::newRow("tree unreadable") << u"create table FAQ (ID integer primary key, Notes text)"_s;
    // The file is not a database at all.
    QTest::newRow("not a database") << QString();
}

void TestStartup::fatalNoticeEndsWithFailureStatus()
{
    QFETCH(QString, schema);
    const ProgramFolder folder(QStringLiteral(QB_PROGRAM));
    const QString database = folder.filePath(u"quillbay.db"_s);
    if (schema.isEmpty()) {
        QFile file(database);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    } else {
        {
            auto db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"prepare"_s);
            db.setDatabaseName(database);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(schema));
        }
        QSqlDatabase::removeDatabase(u"prepare"_s);
    }

    QProcess quillbay;
    QVERIFY(folder.start(quillbay));
    const qint64 pid = quillbay.processId();
    // Every box that shows is answered until the program ends.
    QVERIFY(WaitFor(
        [&] {
            if (quillbay.state() == QProcess::NotRunning || quillbay.waitForFinished(50))
                return true;
            for (const QString& window : VisibleWindows(pid)) {
                if (IsDialog(window))
                    PressKeys(window, {u"Return"_s});
            }
            return false;
        },
        30000));
    QCOMPARE(quillbay.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quillbay.exitCode(), 1);
}

void TestStartup::commandLineAnswers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // what standard output or error holds
    QTest::newRow("version") << QStringList{u"--version"_s} << 0 << u"quillbay 1.1"_s;
    QTest::newRow("help") << QStringList{u"--help"_s} << 0 << u"--send"_s;
    QTest::newRow("two commands") << QStringList{u"--show"_s, u"--send"_s} << 2
                                  << u"Give only one of --show, --hide and --send."_s;
    QTest::newRow("unknown option") << QStringList{u"--bogus"_s} << 1 << u"bogus"_s;
}

void TestStartup::commandLineAnswers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    // Answered before anything starts: no window, no files.
    const ProgramFolder folder(QStringLiteral(QB_PROGRAM));
    QProcess quillbay;
    quillbay.setProcessEnvironment(folder.environment());
    quillbay.start(folder.program(), arguments);
    QVERIFY(quillbay.waitForFinished(20000));
    QCOMPARE(quillbay.exitCode(), exitCode);
    const QString said = QString::fromUtf8(quillbay.readAllStandardOutput() + quillbay.readAllStandardError());
    QVERIFY2(said.contains(output), qPrintable(said));
    QVERIFY(!QFile::exists(folder.filePath(u"quillbay.db"_s)));
}

void TestStartup::helpOpensWithTheDesktopsProgram()
{
    const ProgramFolder folder(QStringLiteral(QB_PROGRAM));
    QTemporaryDir tools;
    QVERIFY(tools.isValid());
    const QString help = folder.filePath(u"quillbay.chm"_s);
    {
        QFile chm(help);
        QVERIFY(chm.open(QIODevice::WriteOnly));
    }
    // An xdg-open that notes what it was asked to open.
    const QString opened = tools.filePath(u"opened"_s);
    {
        QFile opener(tools.filePath(u"xdg-open"_s));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write(u"#!/bin/sh\nprintf '%s' \"$1\" > '%1'\n"_s.arg(opened).toUtf8());
        opener.close();
        QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QProcessEnvironment environment = folder.environment();
    environment.insert(u"PATH"_s, tools.path() + u':' + environment.value(u"PATH"_s));
    QProcess quillbay;
    quillbay.setProcessEnvironment(environment);
    quillbay.setProcessChannelMode(QProcess::ForwardedChannels);
    quillbay.start(folder.program());
    QVERIFY(quillbay.waitForStarted());
    const qint64 pid = quillbay.processId();

    // Past the first-run notice, F1 in the main window.
    QStringList windows;
    QVERIFY(WaitFor([&] { return !(windows = VisibleWindows(pid)).isEmpty(); }, 20000));
    PressKeys(windows.front(), {u"Return"_s});
    QVERIFY(WaitFor([&] {
        windows = VisibleWindows(pid);
        return windows.size() == 1 && !IsDialog(windows.front());
    }));
    const QString mainWindow = windows.front();
    PressKeys(mainWindow, {u"F1"_s});
    QVERIFY(WaitFor([&] { return QFile::exists(opened); }, 10000));
    QFile record(opened);
    QVERIFY(record.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(record.readAll()), help);
    // Opened without a box.
    QThread::msleep(500);
    QCOMPARE(VisibleWindows(pid), QStringList{mainWindow});

    PressKeys(mainWindow, {u"alt+f"_s, u"x"_s});
    QVERIFY(quillbay.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
