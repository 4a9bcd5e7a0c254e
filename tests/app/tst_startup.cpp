#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Runs an X11 tool and gives its standard output, trimmed.
QString Tool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000))
        qFatal("%s did not finish", qUtf8Printable(program));
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

QStringList VisibleWindows(qint64 pid)
{
    return Tool(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid)})
        .split(u'\n', Qt::SkipEmptyParts);
}

QString WindowName(const QString& window)
{
    return Tool(u"xdotool"_s, {u"getwindowname"_s, window});
}

bool IsDialog(const QString& window)
{
    return Tool(u"xprop"_s, {u"-id"_s, window, u"_NET_WM_WINDOW_TYPE"_s}).contains(u"_NET_WM_WINDOW_TYPE_DIALOG"_s);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

void Keys(const QString& window, const QStringList& keys)
{
    Tool(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, window});
    Tool(u"xdotool"_s, QStringList{u"key"_s, u"--delay"_s, u"60"_s} + keys);
}

} // namespace

// The built program in a folder of its own, on a real X server with a window manager.
class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsOnTheEmbeddedExampleDatabase();
};

void TestStartup::startsOnTheEmbeddedExampleDatabase()
{
    QTemporaryDir folder;
    QTemporaryDir odbc;
    const QString program = folder.filePath(u"quillbay"_s);
    QVERIFY(QFile::copy(QStringLiteral(QB_PROGRAM), program));
    QFile noDataSources(odbc.filePath(u"odbc.ini"_s));
    QVERIFY(noDataSources.open(QIODevice::WriteOnly));
    noDataSources.close();

    QProcess quillbay;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"ODBCINI"_s, noDataSources.fileName());
    environment.remove(u"QT_QPA_PLATFORM"_s);
    quillbay.setProcessEnvironment(environment);
    quillbay.setProcessChannelMode(QProcess::ForwardedChannels);
    quillbay.start(program, {});
    QVERIFY(quillbay.waitForStarted());
    const qint64 pid = quillbay.processId();

    // No destination is set yet: the first-run notice is the one box, before the window.
    QStringList windows;
    QVERIFY(WaitFor([&] { return !(windows = VisibleWindows(pid)).isEmpty(); }));
    QCOMPARE(windows.size(), 1);
    QVERIFY(IsDialog(windows.front()));
    QCOMPARE(WindowName(windows.front()), u"Tolvane Quillbay"_s);
    Keys(windows.front(), {u"Return"_s});

    QVERIFY(WaitFor([&] {
        windows = VisibleWindows(pid);
        return windows.size() == 1 && !IsDialog(windows.front());
    }));
    const QString mainWindow = windows.front();
    QCOMPARE(WindowName(mainWindow), u"Tolvane Quillbay"_s);
    QThread::msleep(500);
    QCOMPARE(VisibleWindows(pid), QStringList{mainWindow});

    // The first node of the example tree shows its Message: from the search box back to the
    // tree, step down and up to its first node, then copy the shown text.
    Keys(mainWindow, {u"shift+Tab"_s, u"shift+Tab"_s, u"shift+Tab"_s, u"Down"_s, u"Up"_s, u"F2"_s, u"Tab"_s, u"Tab"_s,
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
    QVERIFY(WaitFor([&] {
        copied = Tool(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s});
        return copied == expected.trimmed();
    }, 5000));
    QCOMPARE(VisibleWindows(pid), QStringList{mainWindow});

    // File, Exit ends the program.
    Keys(mainWindow, {u"alt+f"_s, u"x"_s});
    QVERIFY(quillbay.waitForFinished(10000));
    QCOMPARE(quillbay.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quillbay.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
