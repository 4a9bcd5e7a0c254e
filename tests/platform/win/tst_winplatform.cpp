// The Windows desktop's adapters seen through the platform interfaces (runs under wine):
// start at login in the user's Run key, and opening files through the shell.
#include "platform/win/winplatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString RunKey = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"_s;
const QString ValueName = u"Tolvane Quillbay"_s;

QString thisProgram()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
}

} // namespace

class TestWinPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void loginStart_data();
    void loginStart();
    void openFile_data();
    void openFile();

private:
    std::unique_ptr<WinPlatform> m_desktop;
    QTemporaryDir m_dir;
};

void TestWinPlatform::initTestCase()
{
    m_desktop = CreateWinPlatform();
    QVERIFY(m_desktop->interfaces().loginStart != nullptr);
    QVERIFY(m_dir.isValid());
}

void TestWinPlatform::cleanup()
{
    QSettings(RunKey, QSettings::NativeFormat).remove(ValueName);
}

void TestWinPlatform::loginStart_data()
{
    QTest::addColumn<QString>("before"); // the value before; empty: none
    QTest::addColumn<bool>("enabledBefore");
    QTest::addColumn<bool>("turnOn");
    QTest::addColumn<QString>("after");

    const QString ours = u'"' + thisProgram() + u"\" --hide"_s;
    const QString otherCopy = u"\"C:\\Other Folder\\quillbay.exe\" --hide"_s;
    QTest::newRow("none, on") << QString() << false << true << ours;
    QTest::newRow("none, off") << QString() << false << false << QString();
    QTest::newRow("ours, off") << ours << true << false << QString();
    QTest::newRow("ours in other case, on") << ours.toUpper() << true << true << ours;
    QTest::newRow("ours unquoted, off") << thisProgram() + u" --hide"_s << true << false << QString();
    QTest::newRow("another copy, on") << otherCopy << false << true << ours;
    QTest::newRow("another copy, off") << otherCopy << false << false << otherCopy;
}

void TestWinPlatform::loginStart()
{
    QFETCH(QString, before);
    QFETCH(bool, enabledBefore);
    QFETCH(bool, turnOn);
    QFETCH(QString, after);
    QSettings run(RunKey, QSettings::NativeFormat);
    if (!before.isEmpty())
        run.setValue(ValueName, before);
    run.sync();
    LoginStart& login = *m_desktop->interfaces().loginStart;
    QCOMPARE(login.isEnabled(), enabledBefore);
    login.setEnabled(turnOn);
    QCOMPARE(login.isEnabled(), turnOn);
    QSettings written(RunKey, QSettings::NativeFormat);
    QCOMPARE(written.value(ValueName).toString(), after);
}

void TestWinPlatform::openFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<int>("result"); // 0: any success

    QTest::newRow("program with parameters") << QCoreApplication::applicationFilePath() << u"-functions"_s << 0;
    QTest::newRow("missing file") << m_dir.filePath(u"none.chm"_s) << QString() << 2;
    QTest::newRow("no program for the kind") << m_dir.filePath(u"notes.qbnoprogram"_s) << QString() << 31;
}

void TestWinPlatform::openFile()
{
    QFETCH(QString, file);
    QFETCH(QString, parameters);
    QFETCH(int, result);
    QFile unknownKind(m_dir.filePath(u"notes.qbnoprogram"_s));
    QVERIFY(unknownKind.open(QIODevice::WriteOnly));
    unknownKind.close();
    const int opened = m_desktop->interfaces().files.openFile(file, parameters, 1, m_dir.path());
    if (result == 0)
        QVERIFY2(opened > 32, qPrintable(QString::number(opened)));
    else
        QCOMPARE(opened, result);
}

QTEST_GUILESS_MAIN(TestWinPlatform)
#include "tst_winplatform.moc"
