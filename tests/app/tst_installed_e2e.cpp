// The .deb unpacked into a fresh root and its program run as a new user whose home is a
// temporary folder: files in the user's XDG folders, the first-run notice, a send into Mousepad.
#include "desktoptools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestInstalled : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void packageHoldsMenuEntryAndIcons_data();
    void packageHoldsMenuEntryAndIcons();
    void desktopFileIsValid();
    void firstStartMakesTheUserFiles();
    void sendsIntoMousepad();

private:
    bool startProgram();
    QString messageText(const QString& hotword) const;

    QTemporaryDir root;
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess quillbay;
};

void TestInstalled::initTestCase()
{
    const QFileInfoList packages
        = QDir(QStringLiteral(QB_PACKAGE_DIR)).entryInfoList({u"quillbay_*.deb"_s}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    QProcess unpack;
    unpack.start(u"dpkg"_s, {u"-x"_s, packages.front().filePath(), root.path()});
    QVERIFY(unpack.waitForFinished(60000));
    QCOMPARE(unpack.exitCode(), 0);

    QFile noDataSources(home.filePath(u"odbc.ini"_s));
    QVERIFY(noDataSources.open(QIODevice::WriteOnly));
    environment.insert(u"ODBCINI"_s, noDataSources.fileName());
    environment.insert(u"HOME"_s, home.path());
    for (const QString& name : {u"QT_QPA_PLATFORM"_s, u"XDG_CONFIG_HOME"_s, u"XDG_DATA_HOME"_s})
        environment.remove(name);
    environment.insert(u"GSETTINGS_BACKEND"_s, u"memory"_s);
}

void TestInstalled::cleanupTestCase()
{
    quillbay.kill();
    quillbay.waitForFinished();
}

bool TestInstalled::startProgram()
{
    quillbay.setProcessEnvironment(environment);
    quillbay.setProcessChannelMode(QProcess::ForwardedChannels);
    quillbay.start(root.filePath(u"usr/bin/quillbay"_s), {});
    return quillbay.waitForStarted();
}

QString TestInstalled::messageText(const QString& hotword) const
{
    return MessageTextIn(home.filePath(u".local/share/quillbay/quillbay.db"_s), hotword);
}

void TestInstalled::packageHoldsMenuEntryAndIcons_data()
{
    QTest::addColumn<QString>("file");
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString name = u"%1x%1"_s.arg(size);
        QTest::newRow(qPrintable(name)) << u"usr/share/icons/hicolor/%1/apps/quillbay.png"_s.arg(name);
    }
    QTest::newRow("svg") << u"usr/share/icons/hicolor/scalable/apps/quillbay.svg"_s;
    QTest::newRow("menu entry") << u"usr/share/applications/quillbay.desktop"_s;
    QTest::newRow("targets") << u"usr/share/quillbay/targets.ini"_s;
    QTest::newRow("sql") << u"usr/share/quillbay/quillbay-postgresql.sql"_s;
    QTest::newRow("guide") << u"usr/share/quillbay/help/index.html"_s;
}

void TestInstalled::packageHoldsMenuEntryAndIcons()
{
    QFETCH(QString, file);
    QVERIFY2(QFileInfo(root.filePath(file)).size() > 0, qPrintable(file));
}

void TestInstalled::desktopFileIsValid()
{
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(u"desktop-file-validate"_s, {root.filePath(u"usr/share/applications/quillbay.desktop"_s)});
    QVERIFY(validate.waitForFinished(30000));
    QCOMPARE(validate.readAll(), QByteArray());
    QCOMPARE(validate.exitCode(), 0);
}

void TestInstalled::firstStartMakesTheUserFiles()
{
    QVERIFY(startProgram());
    QStringList windows;
    QVERIFY(WaitFor([&] { return !(windows = VisibleWindows(quillbay.processId())).isEmpty(); }, 20000));
    QCOMPARE(windows.size(), 1);
    // The first-run notice asks for a destination; the main window follows.
    QVERIFY(RunTool(u"xprop"_s, {u"-id"_s, windows.front(), u"_NET_WM_WINDOW_TYPE"_s})
                .contains(u"_NET_WM_WINDOW_TYPE_DIALOG"_s));
    PressKeys(windows.front(), {u"Return"_s});
    QString mainWindow;
    const QStringList mainSearch{u"--pid"_s, QString::number(quillbay.processId()), u"--name"_s,
                                 u"^Tolvane Quillbay$"_s};
    QVERIFY(WaitFor(
        [&] {
            mainWindow = FindVisibleWindow(mainSearch);
            return !mainWindow.isEmpty()
                && !RunTool(u"xprop"_s, {u"-id"_s, mainWindow, u"_NET_WM_WINDOW_TYPE"_s})
                        .contains(u"_NET_WM_WINDOW_TYPE_DIALOG"_s);
        },
        20000));
    PressKeys(mainWindow, {u"alt+f"_s, u"x"_s});
    QVERIFY(quillbay.waitForFinished(10000));
    QCOMPARE(quillbay.exitCode(), 0);

    QFile supplied(root.filePath(u"usr/share/quillbay/targets.ini"_s));
    QFile copied(home.filePath(u".config/quillbay/targets.ini"_s));
    QVERIFY(supplied.open(QIODevice::ReadOnly) && copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), supplied.readAll());
    QVERIFY(QFileInfo(home.filePath(u".config/quillbay/options.ini"_s)).isFile());
    QVERIFY(!messageText(u"start"_s).isEmpty());
    // Nothing was written beside the installed program.
    QCOMPARE(QDir(root.filePath(u"usr/bin"_s)).entryList(QDir::Files), QStringList{u"quillbay"_s});
}

void TestInstalled::sendsIntoMousepad()
{
    QFile options(home.filePath(u".config/quillbay/options.ini"_s));
    QVERIFY(options.open(QIODevice::Append));
    QVERIFY(options.write("[Options]\nTarget=Notepad\n") > 0);
    options.close();

    DesktopProgram editor(environment);
    QVERIFY(editor.start(u"mousepad"_s));
    const QString editorWindow = editor.window({u"--name"_s, u" - Mousepad$"_s}, 20000);
    QVERIFY(!editorWindow.isEmpty());

    QVERIFY(startProgram());
    QString mainWindow;
    const QStringList mainSearch{u"--pid"_s, QString::number(quillbay.processId()), u"--name"_s,
                                 u"^Tolvane Quillbay$"_s};
    QVERIFY(WaitFor([&] { return !(mainWindow = FindVisibleWindow(mainSearch)).isEmpty(); }, 20000));
    ActivateWindow(mainWindow);
    Xdotool({u"type"_s, u"--delay"_s, u"20"_s, u"start"_s});
    Xdotool({u"key"_s, u"--clearmodifiers"_s, u"Return"_s, u"F12"_s});

    const QString expected = messageText(u"start"_s);
    QCOMPARE(CopyWindowTextWhen(editorWindow, expected, 10000), expected);
}

QTEST_GUILESS_MAIN(TestInstalled)
#include "tst_installed_e2e.moc"
