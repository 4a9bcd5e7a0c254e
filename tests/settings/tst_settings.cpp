#include "settings/settings.h"

#include "settings/hotkeytext.h"
#include "settings/replacefile.h"
#include "testfiles.h"
#include "util/errors.h"
#include "util/textutils.h"
#include "util/virtualkeys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { OverrideAppDir({}); }
    void defaultsWithoutOptionsFile();
    void booleansReadLeniently_data();
    void booleansReadLeniently();
    void loadedValuesMatchSingleReads_data();
    void loadedValuesMatchSingleReads();
    void integerErrorRaisedWhenThatKeyIsRead();
    void loadSeesChangesMadeSince();
    void saveWritesOnlySetKeysInOneReplacement();
    void saveWithoutChangesWritesNothing();
    void refusedSaveNamesTheFile();
    void fullDiskLeavesFileAsItWas_data();
    void fullDiskLeavesFileAsItWas();
    void targetsFileBesideTheExecutable();

private:
    QString optionsPath() const { return dir->filePath(u"options.ini"_s); }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestSettings::init()
{
    dir = std::make_unique<QTemporaryDir>();
    OverrideAppDir(dir->path());
}

void TestSettings::defaultsWithoutOptionsFile()
{
    QCOMPARE(OpenOptionsFile().path(), optionsPath());
    Options options(optionsPath());
    options.load();
    QCOMPARE(TextToHotKey(options.value(Setting::HotKey)), (HotKey{Vk::F12, 0}));
    QCOMPARE(TextToHotKey(options.value(Setting::ActivateKey)), (HotKey{Vk::F11, 0}));
    QVERIFY(options.value(Setting::RestoreClipboard));
    QVERIFY(options.value(Setting::DoAttachments));
    QVERIFY(!options.value(Setting::MinimizeOnClose));
    QVERIFY(!options.value(Setting::ShowHotword));
    QCOMPARE(options.value(Setting::Target), QString());
    QCOMPARE(options.text(Setting::MainFormState), QString());
    QCOMPARE(options.value(Setting::LeftPanelWidth), 222);
    QCOMPARE(options.value(Setting::MainFormLeft, 178), 178);
    QVERIFY(!QFile::exists(optionsPath()));
}

void TestSettings::booleansReadLeniently_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("expected");
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("no") << QByteArray("no") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("YES") << QByteArray("YES") << true;
    QTest::newRow("True") << QByteArray("True") << true;
}

void TestSettings::booleansReadLeniently()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, expected);
    WriteBytes(optionsPath(), "[Options]\nRestoreClipboard=" + stored + "\n");
    Options options(optionsPath());
    options.load();
    QCOMPARE(options.value(Setting::RestoreClipboard), expected);

    // Written as the program has always written it.
    options.setValue(Setting::MinimizeOnClose, true);
    options.save();
    QCOMPARE(OpenOptionsFile().readText(u"Options"_s, u"Minimize On Close"_s, {}), u"True"_s);
}

void TestSettings::loadedValuesMatchSingleReads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("plain") << QByteArray("[Options]\nTarget=Outlook\nHotKey=F9\n");
    QTest::newRow("names ignore case") << QByteArray("[OPTIONS]\ntarget=Outlook\n");
    QTest::newRow("first section of a name counts")
        << QByteArray("[Options]\nHotKey=F9\n[Startup Settings]\n[options]\nTarget=Later\nHotKey=F8\n");
    QTest::newRow("first key counts") << QByteArray("[Options]\nTarget=One\nTarget=Two\n");
    QTest::newRow("quotes, blanks, comments")
        << QByteArray("; Target=Comment\n[Options]\n  Target =  \"Quoted\"  \n;HotKey=F2\n");
    QTest::newRow("entries before any section") << QByteArray("Target=Nowhere\n[Options]\nHotKey=F3\n");
    QTest::newRow("value with equals sign") << QByteArray("[Options]\nTarget=a=b\n");
    QTest::newRow("empty value") << QByteArray("[Options]\nTarget=\nHotKey=\n");
}

void TestSettings::loadedValuesMatchSingleReads()
{
    QFETCH(QByteArray, file);
    WriteBytes(optionsPath(), file);
    Options options(optionsPath());
    options.load();
    const IniFile ini(optionsPath());
    for (const SettingKey<QString>* key : {&Setting::Target, &Setting::HotKey, &Setting::ActivateKey})
        QCOMPARE(options.value(*key), ini.readText(key->section, key->key, key->defaultValue));
}

void TestSettings::integerErrorRaisedWhenThatKeyIsRead()
{
    WriteBytes(optionsPath(), "[Options]\nTarget=Outlook\n[Startup Settings]\nMain Form Left=12a\n");
    Options options(optionsPath());
    options.load();
    QCOMPARE(options.value(Setting::Target), u"Outlook"_s);
    QCOMPARE(options.value(Setting::MainFormTop, 7), 7);
    try {
        (void)options.value(Setting::MainFormLeft, 0);
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.text(),
                 u"'12a' is not a valid integer value: key \"Main Form Left\" in section [Startup Settings] of "_s
                     + QDir::toNativeSeparators(optionsPath()) + u'.');
    }
    // A key without a default to fall back on is named the same way.
    WriteBytes(optionsPath(), "[startup settings]\nleft panel width=300px\n");
    options.load();
    try {
        (void)options.value(Setting::LeftPanelWidth);
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.text(),
                 u"'300px' is not a valid integer value: key \"Left Panel Width\" in section [Startup Settings] of "_s
                     + QDir::toNativeSeparators(optionsPath()) + u'.');
    }
}

void TestSettings::loadSeesChangesMadeSince()
{
    Options options(optionsPath());
    options.setValue(Setting::MainFormWidth, 800);
    QCOMPARE(options.value(Setting::MainFormWidth, 0), 800);
    options.save();
    options.load();
    QCOMPARE(options.value(Setting::MainFormWidth, 0), 800);
    // A change made behind the program's back is seen by the next load, not before.
    WriteBytes(optionsPath(), "[startup settings]\nmain form width=640\n");
    QCOMPARE(options.value(Setting::MainFormWidth, 0), 800);
    options.load();
    QCOMPARE(options.value(Setting::MainFormWidth, 0), 640);
}

void TestSettings::saveWritesOnlySetKeysInOneReplacement()
{
    const QByteArray before = "; mine\r\n[Options]\r\nTarget=Old\r\nUnknown=kept\r\n\r\n[Other]\r\nX=1\r\n";
    WriteBytes(optionsPath(), before);
    Options options(optionsPath());
    options.load();
    options.setValue(Setting::Target, u"Outlook"_s);
    options.setValue(Setting::MainFormWidth, 640);
    options.setValue(Setting::MinimizeOnClose, true);
    options.setValue(Setting::MainFormHeight, 480);
#ifdef Q_OS_LINUX
    const int watcher = inotify_init1(IN_NONBLOCK);
    QVERIFY(watcher >= 0);
    QVERIFY(inotify_add_watch(watcher, QFile::encodeName(dir->path()).constData(), IN_MOVED_TO | IN_CREATE) >= 0);
#endif
    options.save();
    // Keys set are written in the order set, each where a single write would put it; the
    // rest of the file, defaults not set included, is left as it was.
    QCOMPARE(ReadBytes(optionsPath()),
             QByteArray("; mine\r\n[Options]\r\nTarget=Outlook\r\nUnknown=kept\r\nMinimize On Close=True\r\n\r\n"
                        "[Other]\r\nX=1\r\n[Startup Settings]\r\nMain Form Width=640\r\nMain Form Height=480\r\n"));
#ifdef Q_OS_LINUX
    // One replacement of options.ini: one file moved (or linked) into its place.
    char buffer[4096];
    const ssize_t length = read(watcher, buffer, sizeof buffer);
    int replacements = 0;
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        const QString name = event->len ? QFile::decodeName(event->name) : QString();
        if ((event->mask & (IN_MOVED_TO | IN_CREATE)) && name == u"options.ini"_s)
            ++replacements;
        at += qsizetype(sizeof(inotify_event)) + event->len;
    }
    close(watcher);
    QCOMPARE(replacements, 1);
#endif

    // Saved keys are not written again by a later save.
    WriteBytes(optionsPath(), "[Options]\n");
    options.setValue(Setting::HotKey, u"F9"_s);
    options.save();
    QCOMPARE(ReadBytes(optionsPath()), QByteArray("[Options]\nHotKey=F9\n"));
}

void TestSettings::saveWithoutChangesWritesNothing()
{
    Options options(optionsPath());
    options.load();
    (void)options.value(Setting::Target);
    options.save();
    QVERIFY(!QFile::exists(optionsPath()));
    // A load drops what was set and not saved.
    options.setValue(Setting::Target, u"Outlook"_s);
    options.load();
    QCOMPARE(options.value(Setting::Target), QString());
    options.save();
    QVERIFY(!QFile::exists(optionsPath()));
}

void TestSettings::refusedSaveNamesTheFile()
{
    QVERIFY(QDir(dir->path()).mkdir(u"options.ini"_s));
    Options options(optionsPath());
    options.load();
    QCOMPARE(options.value(Setting::HotKey), u"F12"_s);
    options.setValue(Setting::HotKey, u"F9"_s);
    try {
        options.save();
        QFAIL("no error");
    } catch (const Error& e) {
        QCOMPARE(e.text(),
                 u"Unable to write to "_s + QDir::toNativeSeparators(optionsPath())
                     + u": Filename refers to a directory. The file was left as it was."_s);
    }
}

void TestSettings::fullDiskLeavesFileAsItWas_data()
{
    QTest::addColumn<QByteArray>("before"); // empty: no file
    QTest::addColumn<int>("operation");
    const QByteArray options = "; mine\r\n[Options]\r\nTarget=Outlook\r\nHotKey=F9\r\n";
    QTest::newRow("options saved") << options << 0;
    QTest::newRow("no file yet") << QByteArray() << 0;
    QTest::newRow("several edits at once") << options << 1;
    QTest::newRow("bytes replaced") << options << 2;
}

void TestSettings::fullDiskLeavesFileAsItWas()
{
    if (!FullDisk::available())
        QSKIP("no file size limit on this system");
    QFETCH(QByteArray, before);
    QFETCH(int, operation);
    if (!before.isEmpty())
        WriteBytes(optionsPath(), before);
    Options options(optionsPath());
    options.load();
    options.setValue(Setting::Target, u"Eudora"_s);
    options.setValue(Setting::MainFormWidth, 640);
    IniFile::Edits edits;
    edits.renameSection(u"Options"_s, u"Renamed"_s);
    edits.writeText(u"New"_s, u"Key"_s, u"a value longer than the disk takes"_s);
    QString error;
    {
        const FullDisk full;
        try {
            switch (operation) {
            case 0: options.save(); break;
            case 1: OpenOptionsFile().apply(edits); break;
            default: ReplaceFileContents(optionsPath(), QByteArray(100, 'x')); break;
            }
        } catch (const Error& e) {
            error = e.text();
        }
    }
    QCOMPARE(error,
             u"Unable to write to %1: %2. The file was left as it was."_s.arg(QDir::toNativeSeparators(optionsPath()),
                                                                              FullDisk::reason()));
    // Byte for byte as before, and no temporary file left beside it.
    const QStringList files = QDir(dir->path()).entryList(QDir::Files | QDir::Hidden);
    if (before.isEmpty()) {
        QCOMPARE(files, QStringList());
    } else {
        QCOMPARE(ReadBytes(optionsPath()), before);
        QCOMPARE(files, QStringList{u"options.ini"_s});
    }
}

void TestSettings::targetsFileBesideTheExecutable()
{
    QFile f(dir->filePath(u"targets.ini"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Eudora]\nTarget=Eudora\n[Notepad]\nTarget=Notepad\nSearch Type=Substring\n");
    f.close();
    const IniFile targets = OpenTargetsFile();
    QCOMPARE(targets.sectionNames(), (QStringList{u"Eudora"_s, u"Notepad"_s}));
    QCOMPARE(targets.readText(u"notepad"_s, u"search type"_s, {}), u"Substring"_s);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
