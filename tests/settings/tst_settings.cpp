#include "settings/settings.h"

#include "settings/hotkeytext.h"
#include "util/textutils.h"
#include "util/virtualkeys.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { OverrideAppDir({}); }
    void defaultsWithoutOptionsFile();
    void booleansReadLeniently();
    void everyReadSeesTheLatestWrite();
    void targetsFileBesideTheExecutable();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestSettings::init()
{
    dir = std::make_unique<QTemporaryDir>();
    OverrideAppDir(dir->path());
}

void TestSettings::defaultsWithoutOptionsFile()
{
    QCOMPARE(OpenOptionsFile().path(), dir->filePath(u"options.ini"_s));
    QCOMPARE(TextToHotKey(ReadSetting(Setting::HotKey)), (HotKey{Vk::F12, 0}));
    QCOMPARE(TextToHotKey(ReadSetting(Setting::ActivateKey)), (HotKey{Vk::F11, 0}));
    QVERIFY(ReadBoolSetting(Setting::RestoreClipboard));
    QVERIFY(ReadBoolSetting(Setting::DoAttachments));
    QVERIFY(!ReadBoolSetting(Setting::MinimizeOnClose));
    QVERIFY(!ReadBoolSetting(Setting::ShowHotword));
    QCOMPARE(ReadSetting(Setting::Target), QString());
    QCOMPARE(ReadSetting(Setting::MainFormState), QString());
    QCOMPARE(TextToInteger(ReadSetting(Setting::LeftPanelWidth)), 222);
    QCOMPARE(ReadIntegerSetting(Setting::MainFormLeft, 178), 178);
    QVERIFY(!QFile::exists(dir->filePath(u"options.ini"_s)));
}

void TestSettings::booleansReadLeniently()
{
    for (const auto& [text, expected] : {std::pair{u"0"_s, false}, std::pair{u"no"_s, false},
                                         std::pair{QString(), false}, std::pair{u"YES"_s, true}}) {
        WriteSetting(Setting::RestoreClipboard, text);
        QCOMPARE(ReadBoolSetting(Setting::RestoreClipboard), expected);
    }
    WriteBoolSetting(Setting::MinimizeOnClose, true);
    QCOMPARE(OpenOptionsFile().readText(u"Options"_s, u"Minimize On Close"_s, {}), u"True"_s);
}

void TestSettings::everyReadSeesTheLatestWrite()
{
    WriteIntegerSetting(Setting::MainFormWidth, 800);
    QCOMPARE(ReadIntegerSetting(Setting::MainFormWidth, 0), 800);
    // A change made behind the program's back is seen by the next read.
    QFile f(dir->filePath(u"options.ini"_s));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[startup settings]\nmain form width=640\n");
    f.close();
    QCOMPARE(ReadIntegerSetting(Setting::MainFormWidth, 0), 640);
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
