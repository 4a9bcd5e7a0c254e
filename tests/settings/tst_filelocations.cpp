#include "settings/filelocations.h"
#include "settings/settings.h"
#include "util/errors.h"
#include "util/textutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestFileLocations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { OverrideAppDir({}); }
    void decide_data();
    void decide();
    void readOnlyFolderIsInstalled_data();
    void readOnlyFolderIsInstalled();
    void firstStartCopiesSuppliedTargets();
    void userTargetsAreKept();
    void unwritableConfigFolderIsReported();
    void helpFile_data();
    void helpFile();
};

namespace {

// The user's bases given to DecideFileLocations, and the folder names it adds to them.
struct UserBases {
    QString config;
    QString data;
    QString folderName;
};

UserBases basesFor(bool windows)
{
    if (windows)
        return {u"C:/Users/u/AppData/Roaming"_s, u"C:/Users/u/AppData/Local"_s, u"Tolvane Quillbay"_s};
    return {u"/home/u/.config"_s, u"/home/u/.local/share"_s, u"quillbay"_s};
}

FileConvention conventionFor(bool windows)
{
    return windows ? FileConvention::Windows : FileConvention::Xdg;
}

} // namespace

void TestFileLocations::decide_data()
{
    QTest::addColumn<bool>("windows"); // the Windows convention, else XDG
    QTest::addColumn<QString>("programFolder"); // relative to the temporary root
    QTest::addColumn<QStringList>("supplied"); // files made under the root
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QString>("suppliedTargets");

    QTest::newRow("build folder") << false << u"build/bin"_s << QStringList{u"build/bin/targets.ini"_s} << true
                                  << QString();
    QTest::newRow("empty folder") << false << u"portable"_s << QStringList{} << true << QString();
    QTest::newRow("bin without share") << false << u"usr/bin"_s << QStringList{u"usr/bin/targets.ini"_s} << true
                                       << QString();
    QTest::newRow("installed prefix") << false << u"usr/bin"_s << QStringList{u"usr/share/quillbay/targets.ini"_s}
                                      << false << u"usr/share/quillbay/targets.ini"_s;
    QTest::newRow("share folder without targets")
        << false << u"opt/bin"_s << QStringList{u"opt/share/quillbay/guide.html"_s} << true << QString();
    QTest::newRow("not named bin") << false << u"opt/prog"_s << QStringList{u"opt/share/quillbay/targets.ini"_s} << true
                                   << QString();
    QTest::newRow("uninstaller means nothing to xdg")
        << false << u"opt/prog"_s << QStringList{u"opt/prog/targets.ini"_s, u"opt/prog/Uninstall.exe"_s} << true
        << QString();

    const QString installed = u"Programs/Tolvane Quillbay"_s;
    QTest::newRow("windows zip") << true << u"Quillbay"_s
                                 << QStringList{u"Quillbay/quillbay.exe"_s, u"Quillbay/targets.ini"_s} << true
                                 << QString();
    QTest::newRow("windows installer") << true << installed
                                       << QStringList{installed + u"/quillbay.exe"_s, installed + u"/targets.ini"_s,
                                                      installed + u"/Uninstall.exe"_s}
                                       << false << installed + u"/targets.ini"_s;
    QTest::newRow("windows installer, database beside")
        << true << installed << QStringList{installed + u"/Uninstall.exe"_s, installed + u"/quillbay.db"_s} << false
        << installed + u"/targets.ini"_s;
    QTest::newRow("bin and share mean nothing to windows")
        << true << u"usr/bin"_s << QStringList{u"usr/share/quillbay/targets.ini"_s} << true << QString();
}

void TestFileLocations::decide()
{
    QFETCH(bool, windows);
    QFETCH(QString, programFolder);
    QFETCH(QStringList, supplied);
    QFETCH(bool, portable);
    QFETCH(QString, suppliedTargets);

    QTemporaryDir root;
    const QString folder = root.filePath(programFolder);
    QVERIFY(QDir().mkpath(folder));
    for (const QString& file : supplied)
        writeFile(root.filePath(file), "[Other]\n");

    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const UserBases bases = basesFor(windows);
    const FileLocations locations = DecideFileLocations(folder, bases.config, bases.data, conventionFor(windows));
    QCOMPARE(locations.portable, portable);
    if (portable) {
        QCOMPARE(locations.configFolder, folder);
        QCOMPARE(locations.dataFolder, folder);
        QCOMPARE(locations.suppliedTargets, QString());
    } else {
        // An installed copy never reads a database beside the program.
        QCOMPARE(locations.configFolder, bases.config + u'/' + bases.folderName);
        QCOMPARE(locations.dataFolder, bases.data + u'/' + bases.folderName);
        QCOMPARE(locations.suppliedTargets, root.filePath(suppliedTargets));
    }
    // Deciding leaves nothing behind in the program's folder.
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

void TestFileLocations::readOnlyFolderIsInstalled_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<bool>("database");
    QTest::newRow("xdg without database") << false << false;
    QTest::newRow("xdg with its database") << false << true;
    QTest::newRow("windows without database") << true << false;
    QTest::newRow("windows with its database") << true << true;
}

void TestFileLocations::readOnlyFolderIsInstalled()
{
#ifdef Q_OS_UNIX
    QFETCH(bool, windows);
    QFETCH(bool, database);
    QTemporaryDir root;
    writeFile(root.filePath(u"targets.ini"_s), "[Other]\n");
    if (database)
        writeFile(root.filePath(u"quillbay.db"_s), {});
    QFile::setPermissions(root.path(), QFileDevice::Permissions(0x5555));
    const UserBases bases = basesFor(windows);
    // Root may write any folder, so the decision is made in a child process without its rights.
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        const FileLocations locations
            = DecideFileLocations(root.path(), bases.config, bases.data, conventionFor(windows));
        // A read-only portable copy still supplies its own targets.ini, and reads its database.
        _exit(!locations.portable && locations.configFolder == bases.config + u'/' + bases.folderName
                      && locations.dataFolder == (database ? root.path() : bases.data + u'/' + bases.folderName)
                      && locations.suppliedTargets == root.filePath(u"targets.ini"_s)
                  ? 0
                  : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QFile::setPermissions(root.path(), QFileDevice::Permissions(0x7700));
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
#else
    QSKIP("needs a POSIX process without write permission");
#endif
}

namespace {

// Lays out an installed copy under root as this desktop's installer does, points the user's
// bases at root/config and root/data, and returns the program's folder.
QString makeInstalledCopy(const QTemporaryDir& root, const QByteArray& suppliedTargets)
{
    if constexpr (NativeFileConvention == FileConvention::Windows) {
        const QString program = root.filePath(u"Programs/Tolvane Quillbay"_s);
        writeFile(program + u"/Uninstall.exe"_s, "MZ");
        writeFile(program + u"/targets.ini"_s, suppliedTargets);
        QFile::setPermissions(program + u"/targets.ini"_s, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        qputenv("APPDATA", QDir::toNativeSeparators(root.filePath(u"config"_s)).toUtf8());
        qputenv("LOCALAPPDATA", QDir::toNativeSeparators(root.filePath(u"data"_s)).toUtf8());
        return program;
    }
    const QString supplied = root.filePath(u"usr/share/quillbay/targets.ini"_s);
    writeFile(supplied, suppliedTargets);
    QFile::setPermissions(supplied, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    qputenv("XDG_CONFIG_HOME", root.filePath(u"config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", root.filePath(u"data"_s).toUtf8());
    const QString program = root.filePath(u"usr/bin"_s);
    QDir().mkpath(program);
    return program;
}

} // namespace

void TestFileLocations::firstStartCopiesSuppliedTargets()
{
    QTemporaryDir root;
    OverrideAppDir(makeInstalledCopy(root, "[Notepad]\nWindow Title=- Mousepad\n"));
    const QString folderName = basesFor(NativeFileConvention == FileConvention::Windows).folderName;
    const FileLocations locations = ProgramFileLocations();
    QVERIFY(!locations.portable);
    QCOMPARE(locations.configFolder, root.filePath(u"config/"_s + folderName));
    QCOMPARE(locations.dataFolder, root.filePath(u"data/"_s + folderName));

    PrepareFileLocations(locations);
    QVERIFY(QFileInfo(locations.dataFolder).isDir());
    const QString copied = locations.configFolder + u"/targets.ini"_s;
    QFile file(copied);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[Notepad]\nWindow Title=- Mousepad\n"));
    QVERIFY(QFile::permissions(copied) & QFile::WriteOwner);

    // Every reader and writer uses the user's folders.
    QCOMPARE(OpenTargetsFile().path(), locations.configFolder + u"/targets.ini"_s);
    QCOMPARE(OpenOptionsFile().path(), locations.configFolder + u"/options.ini"_s);
    QCOMPARE(DatabaseFilePath(), locations.dataFolder + u"/quillbay.db"_s);
}

void TestFileLocations::userTargetsAreKept()
{
    QTemporaryDir root;
    writeFile(root.filePath(u"share/quillbay/targets.ini"_s), "[Supplied]\n");
    writeFile(root.filePath(u"config/quillbay/targets.ini"_s), "[Mine]\n");
    QVERIFY(QDir().mkpath(root.filePath(u"bin"_s)));
    PrepareFileLocations(DecideFileLocations(root.filePath(u"bin"_s), root.filePath(u"config"_s),
                                             root.filePath(u"data"_s), FileConvention::Xdg));
    QFile file(root.filePath(u"config/quillbay/targets.ini"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[Mine]\n"));
}

void TestFileLocations::unwritableConfigFolderIsReported()
{
    QTemporaryDir root;
    writeFile(root.filePath(u"share/quillbay/targets.ini"_s), "[Supplied]\n");
    writeFile(root.filePath(u"config"_s), "a file where the folder should be");
    QVERIFY(QDir().mkpath(root.filePath(u"bin"_s)));
    const FileLocations locations = DecideFileLocations(root.filePath(u"bin"_s), root.filePath(u"config"_s),
                                                        root.filePath(u"data"_s), FileConvention::Xdg);
    try {
        PrepareFileLocations(locations);
        QFAIL("no error raised");
    } catch (const Error& error) {
        QCOMPARE(error.text(), u"Unable to write to "_s + locations.configFolder);
    }
}

void TestFileLocations::helpFile_data()
{
    QTest::addColumn<QStringList>("files"); // made under the root; the program is in bin/
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << QStringList{} << u"bin/quillbay.chm"_s;
    QTest::newRow("chm wins") << QStringList{u"bin/quillbay.chm"_s, u"bin/help/index.html"_s} << u"bin/quillbay.chm"_s;
    QTest::newRow("guide beside") << QStringList{u"bin/help/index.html"_s, u"share/quillbay/help/index.html"_s}
                                  << u"bin/help/index.html"_s;
    QTest::newRow("installed guide") << QStringList{u"share/quillbay/help/index.html"_s}
                                     << u"share/quillbay/help/index.html"_s;
}

void TestFileLocations::helpFile()
{
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QVERIFY(QDir().mkpath(root.filePath(u"bin"_s)));
    for (const QString& file : files)
        writeFile(root.filePath(file), "help");
    OverrideAppDir(root.filePath(u"bin"_s));
    QCOMPARE(HelpFilePath(), root.filePath(expected));
}

QTEST_GUILESS_MAIN(TestFileLocations)
#include "tst_filelocations.moc"
