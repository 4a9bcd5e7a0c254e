// File > Import in the built program, driven with keys on a real X server.

#include "desktoptools.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The one visible window of the program besides the main window.
QString WaitForBox(qint64 pid, const QString& mainWindow)
{
    QString box;
    WaitFor([&] {
        const QStringList windows = VisibleWindows(pid);
        box = windows.size() == 2 ? (windows.front() == mainWindow ? windows.back() : windows.front()) : QString();
        return !box.isEmpty();
    });
    return box;
}

} // namespace

class TestImportE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importThroughTheFileMenu();
};

void TestImportE2E::importThroughTheFileMenu()
{
    const ProgramFolder folder(QStringLiteral(QB_PROGRAM));
    const QString csv = folder.filePath(u"answers.csv"_s);
    {
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // 'start' is one of the example Messages already in the database.
        file.write("ShortName,Hotword,Text\r\n"
                   "Imported answer,imported-e2e,Imported through the menu.\r\n"
                   "Clash,start,Not imported.\r\n");
    }

    QProcess quillbay;
    QVERIFY(folder.start(quillbay));
    const qint64 pid = quillbay.processId();

    // The first-run notice, then the main window alone.
    QStringList windows;
    QVERIFY(WaitFor([&] { return (windows = VisibleWindows(pid)).size() == 1; }, 20000));
    PressKeys(windows.front(), {u"Return"_s});
    QString mainWindow;
    QVERIFY(WaitFor([&] {
        windows = VisibleWindows(pid);
        if (windows.size() != 1 || windows.front() == mainWindow)
            return false;
        mainWindow = windows.front();
        return Xdotool({u"getwindowname"_s, mainWindow}) == u"Tolvane Quillbay"_s;
    }));

    // File, Import...: the file dialog takes the typed path.
    PressKeys(mainWindow, {u"alt+f"_s, u"i"_s});
    const QString fileDialog = WaitForBox(pid, mainWindow);
    QVERIFY(!fileDialog.isEmpty());
    ActivateWindow(fileDialog);
    Xdotool({u"type"_s, u"--delay"_s, u"20"_s, csv});
    PressKeys(fileDialog, {u"Return"_s});

    // The taken Hotword is asked about (Enter: skip it), then the summary is shown.
    QVERIFY(WaitFor([&] { return !VisibleWindows(pid).contains(fileDialog); }));
    const QString choice = WaitForBox(pid, mainWindow);
    QVERIFY(!choice.isEmpty());
    PressKeys(choice, {u"Return"_s});
    QVERIFY(WaitFor([&] { return !VisibleWindows(pid).contains(choice); }));
    const QString summary = WaitForBox(pid, mainWindow);
    QVERIFY(!summary.isEmpty());
    PressKeys(summary, {u"Return"_s});
    QVERIFY(WaitFor([&] { return VisibleWindows(pid) == QStringList{mainWindow}; }));

    // A Hotword search finds the imported Message; its shown text is copied.
    PressKeys(mainWindow, {u"F2"_s, u"ctrl+a"_s});
    Xdotool({u"type"_s, u"--delay"_s, u"20"_s, u"imported-e2e"_s});
    PressKeys(mainWindow, {u"Return"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"ctrl+a"_s, u"ctrl+c"_s});
    QString copied;
    QVERIFY2(WaitFor(
                 [&] {
                     copied = RunTool(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s});
                     return copied == u"Imported through the menu."_s;
                 },
                 5000),
             qPrintable(copied));

    PressKeys(mainWindow, {u"alt+f"_s, u"x"_s});
    QVERIFY(quillbay.waitForFinished(10000));
    QCOMPARE(quillbay.exitCode(), 0);

    // The start made the day's backup and the import one of its own, beside the database.
    const QStringList backups = QDir(folder.filePath(u"backups"_s)).entryList({u"*.db"_s}, QDir::Files, QDir::Name);
    QCOMPARE(backups.size(), 2);
    QVERIFY2(backups.at(0).startsWith(u"daily-"_s) && backups.at(1).startsWith(u"import-"_s),
             qPrintable(backups.join(u' ')));
}

QTEST_GUILESS_MAIN(TestImportE2E)
#include "tst_import_e2e.moc"
