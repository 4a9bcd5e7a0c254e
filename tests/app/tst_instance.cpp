// The command line, the channel between a running copy and a later start, and the window
// the activation key remembers.
#include "app/activationhotkey.h"
#include "app/commandline.h"
#include "app/instancechannel.h"
#include "platform/fake/fakeplatform.h"
#include "platform/localchannel.h"
#include "util/virtualkeys.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(InstanceCommand)
Q_DECLARE_METATYPE(std::optional<QByteArray>)

namespace {

using Role = InstanceChannel::Role;

// The test program run with this and a path takes that lock file, says "locked" and waits
// to be killed.
constexpr char HoldLock[] = "--hold-lock";

// Opens a channel of that name as a later start in a thread of its own, so that this
// thread's event loop can answer it; gives its role.
Role OpenElsewhere(const QString& name, const InstanceCommand& command, int waitMs)
{
    std::atomic<int> role{-1};
    std::thread start([&] {
        InstanceChannel channel(name);
        role = int(channel.open(command, waitMs));
    });
    const bool ended = QTest::qWaitFor([&] { return role != -1; }, waitMs + 10000);
    start.join();
    if (!ended)
        qFatal("the later start did not end");
    return Role(role.load());
}

} // namespace

class TestInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandLine_data();
    void commandLine();
    void commandTravels_data();
    void commandTravels();
    void strangeLinesAreRefused_data();
    void strangeLinesAreRefused();
    void channelNames();
    void laterStartHandsItsCommandOver();
    void leftoversOfACrashDoNotBlock();
    void silentOwnerIsReported();
    void onlyAnAcceptedCommandIsHanded_data();
    void onlyAnAcceptedCommandIsHanded();
    void activationKeyRemembersTheWindowCameFrom();
};

void TestInstance::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("hotword");
    QTest::addColumn<QString>("error");

    QTest::newRow("nothing") << QStringList() << true << int(InstanceCommand::Show) << QString() << QString();
    QTest::newRow("show") << QStringList{u"--show"_s} << true << int(InstanceCommand::Show) << QString() << QString();
    QTest::newRow("hide") << QStringList{u"--hide"_s} << true << int(InstanceCommand::Hide) << QString() << QString();
    QTest::newRow("send") << QStringList{u"--send"_s} << true << int(InstanceCommand::Send) << QString() << QString();
    QTest::newRow("send hotword") << QStringList{u"--send"_s, u"start"_s} << true << int(InstanceCommand::Send)
                                  << u"start"_s << QString();
    QTest::newRow("hotword first") << QStringList{u"start"_s, u"--send"_s} << true << int(InstanceCommand::Send)
                                   << u"start"_s << QString();
    QTest::newRow("hotword with blanks") << QStringList{u"--send"_s, u"two words"_s} << true
                                         << int(InstanceCommand::Send) << u"two words"_s << QString();
    QTest::newRow("non-ASCII hotword") << QStringList{u"--send"_s, u"grüße✉"_s} << true << int(InstanceCommand::Send)
                                       << u"grüße✉"_s << QString();
    QTest::newRow("two commands") << QStringList{u"--show"_s, u"--hide"_s} << true << 0 << QString()
                                  << u"Give only one of --show, --hide and --send."_s;
    QTest::newRow("hotword without send")
        << QStringList{u"start"_s} << true << 0 << QString() << u"A Hotword goes only with --send."_s;
    QTest::newRow("hotword with hide") << QStringList{u"--hide"_s, u"start"_s} << true << 0 << QString()
                                       << u"A Hotword goes only with --send."_s;
    QTest::newRow("two hotwords") << QStringList{u"--send"_s, u"a"_s, u"b"_s} << true << 0 << QString()
                                  << u"--send takes one Hotword; put a Hotword with blanks in quotes."_s;
    QTest::newRow("empty hotword") << QStringList{u"--send"_s, QString()} << true << 0 << QString()
                                   << u"The Hotword after --send is empty."_s;
    QTest::newRow("unknown option") << QStringList{u"--bogus"_s} << false << 0 << QString() << QString();
    QTest::newRow("value on a switch") << QStringList{u"--send=start"_s} << false << 0 << QString() << QString();
}

void TestInstance::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, parses);
    QFETCH(int, kind);
    QFETCH(QString, hotword);
    QFETCH(QString, error);
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    QCOMPARE(parser.parse(QStringList{u"quillbay"_s} + arguments), parses);
    if (!parses)
        return;
    const std::variant<InstanceCommand, QString> result = CommandFromParser(parser);
    if (error.isEmpty())
        QCOMPARE(std::get<InstanceCommand>(result), (InstanceCommand{InstanceCommand::Kind(kind), hotword}));
    else
        QCOMPARE(std::get<QString>(result), error);
}

void TestInstance::commandTravels_data()
{
    QTest::addColumn<InstanceCommand>("command");
    QTest::newRow("show") << InstanceCommand{InstanceCommand::Show, {}};
    QTest::newRow("hide") << InstanceCommand{InstanceCommand::Hide, {}};
    QTest::newRow("send") << InstanceCommand{InstanceCommand::Send, {}};
    QTest::newRow("send hotword") << InstanceCommand{InstanceCommand::Send, u"start"_s};
    // A line end in the Hotword must not end the line that carries it.
    QTest::newRow("line ends, quotes") << InstanceCommand{InstanceCommand::Send, u"a\nb\r\"c\"\\"_s};
    QTest::newRow("non-ASCII") << InstanceCommand{InstanceCommand::Send, u"grüße ✉ 😀"_s};
}

void TestInstance::commandTravels()
{
    QFETCH(InstanceCommand, command);
    const QByteArray line = EncodeCommand(command);
    QVERIFY(!line.contains('\n'));
    QCOMPARE(DecodeCommand(line), std::optional<InstanceCommand>(command));
}

void TestInstance::strangeLinesAreRefused_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("show");
    QTest::newRow("cut off") << QByteArray(R"({"command":"send","hot)");
    QTest::newRow("no command") << QByteArray("{}");
    QTest::newRow("unknown command") << QByteArray(R"({"command":"quit"})");
    QTest::newRow("array") << QByteArray(R"(["show"])");
    QTest::newRow("hotword with hide") << QByteArray(R"({"command":"hide","hotword":"a"})");
    QTest::newRow("hotword not text") << QByteArray(R"({"command":"send","hotword":5})");
    QTest::newRow("empty hotword") << QByteArray(R"({"command":"send","hotword":""})");
}

void TestInstance::strangeLinesAreRefused()
{
    QFETCH(QByteArray, line);
    QCOMPARE(DecodeCommand(line), std::nullopt);
}

void TestInstance::channelNames()
{
    const QTemporaryDir one;
    const QTemporaryDir other;
    // The same folder however it is written; another folder, another name.
    QCOMPARE(ChannelName(one.path()), ChannelName(one.path() + u"/sub/.."_s));
    QCOMPARE(ChannelName(one.path()), ChannelName(one.path() + u'/'));
    QVERIFY(ChannelName(one.path()) != ChannelName(other.path()));
    QVERIFY(ChannelName(one.path()).startsWith(u"quillbay-"_s));
}

void TestInstance::laterStartHandsItsCommandOver()
{
    const QTemporaryDir settings;
    const QString name = ChannelName(settings.path());
    InstanceChannel first(name);
    QCOMPARE(first.open({}), Role::First);
    QSignalSpy received(&first, &InstanceChannel::commandReceived);

    const InstanceCommand send{InstanceCommand::Send, u"grüße\nstart"_s};
    QCOMPARE(OpenElsewhere(name, send, 3000), Role::Handed);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received.at(0).at(0).value<InstanceCommand>(), send);

    // Each later start is answered in turn.
    QCOMPARE(OpenElsewhere(name, {InstanceCommand::Hide, {}}, 3000), Role::Handed);
    QTRY_COMPARE(received.size(), 2);
    QCOMPARE(received.at(1).at(0).value<InstanceCommand>().kind, InstanceCommand::Hide);

    // Other settings, another copy.
    const QTemporaryDir otherSettings;
    InstanceChannel other(ChannelName(otherSettings.path()));
    QCOMPARE(other.open({}), Role::First);
    QCOMPARE(received.size(), 2);
}

void TestInstance::leftoversOfACrashDoNotBlock()
{
    const QTemporaryDir settings;
    const QString name = ChannelName(settings.path());
    const InstanceChannel probe(name);
    // The lock of a copy that was killed while it held it.
    QProcess killed;
    killed.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(HoldLock), probe.lockFile()});
    QVERIFY(killed.waitForReadyRead(10000));
    QCOMPARE(killed.readAllStandardOutput().trimmed(), QByteArray("locked"));
    killed.kill();
    QVERIFY(killed.waitForFinished());
    QVERIFY(QFile::exists(probe.lockFile()));
#ifndef Q_OS_WIN
    // And its socket file; a named pipe goes with its process.
    QFile socket(probe.address());
    QVERIFY(socket.open(QIODevice::WriteOnly));
    socket.close();
#endif

    InstanceChannel first(name);
    QCOMPARE(first.open({}, 1000), Role::First);
    QSignalSpy received(&first, &InstanceChannel::commandReceived);
    QCOMPARE(OpenElsewhere(name, {}, 3000), Role::Handed);
    QTRY_COMPARE(received.size(), 1);
}

void TestInstance::silentOwnerIsReported()
{
    // A copy that holds the lock but never listens: the later start gives up in time.
    const QTemporaryDir settings;
    const QString name = ChannelName(settings.path());
    QLockFile lock(InstanceChannel(name).lockFile());
    QVERIFY(lock.tryLock(0));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(OpenElsewhere(name, {}, 500), Role::Unanswered);
    QVERIFY(timer.elapsed() < 5000);
}

void TestInstance::onlyAnAcceptedCommandIsHanded_data()
{
    QTest::addColumn<std::optional<QByteArray>>("answer");
    QTest::addColumn<int>("role");
    QTest::newRow("accepted") << std::optional<QByteArray>("ok") << int(Role::Handed);
    QTest::newRow("refused") << std::optional<QByteArray>() << int(Role::Unanswered);
    QTest::newRow("another answer") << std::optional<QByteArray>("ok, but later") << int(Role::Unanswered);
    QTest::newRow("empty answer") << std::optional<QByteArray>("") << int(Role::Unanswered);
}

void TestInstance::onlyAnAcceptedCommandIsHanded()
{
    // A copy holding the lock whose listener answers as given (another version, say).
    QFETCH(std::optional<QByteArray>, answer);
    QFETCH(int, role);
    const QTemporaryDir settings;
    const QString name = ChannelName(settings.path());
    const InstanceChannel probe(name);
    QLockFile lock(probe.lockFile());
    QVERIFY(lock.tryLock(0));
    const std::unique_ptr<LocalChannel> listener = CreateLocalChannel();
    QByteArray received;
    QVERIFY(listener->listen(probe.address(), [&](const QByteArray& line) {
        received = line;
        return answer;
    }));
    QCOMPARE(OpenElsewhere(name, {InstanceCommand::Send, u"start"_s}, 300), Role(role));
    QCOMPARE(received, EncodeCommand({InstanceCommand::Send, u"start"_s}));
}

void TestInstance::activationKeyRemembersTheWindowCameFrom()
{
    FakePlatform fake;
    const WindowHandle mail = fake.windows.addWindow(u"Inbox - Mail"_s);
    const WindowHandle chat = fake.windows.addWindow(u"Chat"_s);
    const WindowHandle own = fake.windows.addWindow(u"Tolvane Quillbay"_s);
    fake.windows.ownWindows = {own};
    ActivationHotKey key(fake.activationKey, fake.windows);
    key.setKey({Vk::F11, 0});
    QSignalSpy pressed(&key, &ActivationHotKey::pressed);
    QCOMPARE(key.cameFrom(), WindowHandle(0));

    struct Step {
        WindowHandle active;
        WindowHandle remembered;
    };
    // Pressed in the mail program, in our own window, with no window active, in a chat.
    for (const Step step : {Step{mail, mail}, Step{own, mail}, Step{0, mail}, Step{chat, chat}}) {
        fake.windows.active = step.active;
        QVERIFY(fake.activationKey.press());
        QCOMPARE(key.cameFrom(), step.remembered);
    }
    QCOMPARE(pressed.size(), 4);

    // A start from the command line remembers in the same way.
    fake.windows.active = mail;
    key.rememberActiveWindow();
    QCOMPARE(key.cameFrom(), mail);
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], HoldLock) == 0) {
        QLockFile lock(QString::fromLocal8Bit(argv[2]));
        if (!lock.tryLock(0))
            return 1;
        std::fputs("locked\n", stdout);
        std::fflush(stdout);
        QThread::sleep(60);
        return 0;
    }
    TestInstance test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_instance.moc"
