// The data-control clipboard against a real compositor (headless sway, and KWin in a second
// run), with wl-copy and wl-paste as the other program.
#include "platform/wayland/datacontrolclipboard.h"
#include "platform/wayland/waylandconnection.h"

#include "wlr-data-control-unstable-v1-client.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Runs a wl-clipboard tool to its end, keeping our event loop running meanwhile, since our
// clipboard answers from it; gives what it printed.
QByteArray Run(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    QDeadlineTimer deadline(10000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(5);
    return process.readAllStandardOutput();
}

QByteArray Paste(const QString& mimeType)
{
    return Run(u"wl-paste"_s, {u"-n"_s, u"-t"_s, mimeType});
}

QStringList PastedTypes()
{
    QStringList types = QString::fromUtf8(Run(u"wl-paste"_s, {u"-l"_s})).split(u'\n', Qt::SkipEmptyParts);
    types.sort();
    return types;
}

QStringList SortedNames(const ClipboardContent& content)
{
    QStringList names;
    for (const ClipboardFormat& format : content)
        names.append(format.name);
    names.sort();
    return names;
}

QByteArray DataOf(const ClipboardContent& content, const QString& name)
{
    for (const ClipboardFormat& format : content) {
        if (format.name == name)
            return format.data;
    }
    return "(missing)";
}

ClipboardContent Content(const QStringList& names, const QList<QByteArray>& data)
{
    ClipboardContent content;
    for (qsizetype i = 0; i < names.size(); ++i)
        content.append({names[i], data.value(i), QString(), 8});
    return content;
}

// Every byte value, as in a picture.
QByteArray Binary(qsizetype size)
{
    QByteArray data(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char(i * 7 % 256);
    return data;
}

// Another program that puts content on the clipboard and never writes it, holding every
// reader's pipe open.
class SilentOwner {
public:
    SilentOwner()
    {
        manager = wayland.bind<zwlr_data_control_manager_v1>(&zwlr_data_control_manager_v1_interface, 1);
        device = zwlr_data_control_manager_v1_get_data_device(manager, wayland.seat());
        source = zwlr_data_control_manager_v1_create_data_source(manager);
        zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
        zwlr_data_control_source_v1_offer(source, "image/png");
        static const zwlr_data_control_source_v1_listener listener
            = {[](void* data, zwlr_data_control_source_v1*, const char*, std::int32_t fd) {
                   static_cast<SilentOwner*>(data)->held.append(fd);
               },
               [](void*, zwlr_data_control_source_v1*) {}};
        zwlr_data_control_source_v1_add_listener(source, &listener, this);
        zwlr_data_control_device_v1_set_selection(device, source);
        wayland.roundtrip();
    }
    ~SilentOwner()
    {
        for (const int fd : std::as_const(held))
            close(fd);
        zwlr_data_control_source_v1_destroy(source);
        zwlr_data_control_device_v1_destroy(device);
        zwlr_data_control_manager_v1_destroy(manager);
        wayland.roundtrip();
    }
    SilentOwner(const SilentOwner&) = delete;
    SilentOwner& operator=(const SilentOwner&) = delete;

    WaylandConnection wayland;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    zwlr_data_control_source_v1* source = nullptr;
    QList<int> held;
};

// A clipboard manager's look at the current content: reads of the given types, asked all at
// once and in order, through a client of its own.
class ManagerLook {
public:
    ManagerLook()
    {
        manager = wayland.bind<zwlr_data_control_manager_v1>(&zwlr_data_control_manager_v1_interface, 1);
        device = zwlr_data_control_manager_v1_get_data_device(manager, wayland.seat());
        static const zwlr_data_control_device_v1_listener listener
            = {[](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {},
               [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* current) {
                   auto* self = static_cast<ManagerLook*>(data);
                   if (self->offer)
                       zwlr_data_control_offer_v1_destroy(self->offer);
                   self->offer = current;
               },
               [](void*, zwlr_data_control_device_v1*) {},
               [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}};
        zwlr_data_control_device_v1_add_listener(device, &listener, this);
    }
    ~ManagerLook()
    {
        if (offer)
            zwlr_data_control_offer_v1_destroy(offer);
        zwlr_data_control_device_v1_destroy(device);
        zwlr_data_control_manager_v1_destroy(manager);
        wayland.roundtrip();
    }
    ManagerLook(const ManagerLook&) = delete;
    ManagerLook& operator=(const ManagerLook&) = delete;

    // Reads the types to their ends; how many bytes came.
    qsizetype read(const QList<QByteArray>& types)
    {
        wayland.roundtrip();
        QList<int> pipes;
        for (const QByteArray& type : types) {
            int ends[2];
            if (!offer || pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
                break;
            zwlr_data_control_offer_v1_receive(offer, type.constData(), ends[1]);
            close(ends[1]);
            pipes.append(ends[0]);
        }
        wayland.flush();
        qsizetype total = 0;
        // Our clipboard answers from the event loop.
        QDeadlineTimer deadline(5000);
        while (!pipes.isEmpty() && !deadline.hasExpired()) {
            QTest::qWait(2);
            for (qsizetype i = pipes.size() - 1; i >= 0; --i) {
                char piece[4096];
                ssize_t got = 0;
                while ((got = ::read(pipes[i], piece, sizeof piece)) > 0)
                    total += got;
                if (got == 0) {
                    close(pipes[i]);
                    pipes.removeAt(i);
                }
            }
        }
        for (const int fd : std::as_const(pipes))
            close(fd);
        return total;
    }

    WaylandConnection wayland;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    zwlr_data_control_offer_v1* offer = nullptr;
};

} // namespace

class TestDataControlClipboard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void readsWhatAnotherProgramPut_data();
    void readsWhatAnotherProgramPut();
    void othersReadWhatWePut_data();
    void othersReadWhatWePut();
    void ownerThatNeverWritesIsBusy_data();
    void ownerThatNeverWritesIsBusy();
    void fetchedWait_data();
    void fetchedWait();
    void stalledReaderHoldsNobody();
    void anotherProgramTakesOver();

private:
    std::unique_ptr<WaylandConnection> wayland;
    std::unique_ptr<DataControlClipboard> clipboard;
    // A second client, as another program that puts several types at once.
    std::unique_ptr<WaylandConnection> otherWayland;
    std::unique_ptr<DataControlClipboard> other;
};

void TestDataControlClipboard::initTestCase()
{
    wayland = std::make_unique<WaylandConnection>();
    clipboard = std::make_unique<DataControlClipboard>(*wayland);
    otherWayland = std::make_unique<WaylandConnection>();
    other = std::make_unique<DataControlClipboard>(*otherWayland);
}

void TestDataControlClipboard::cleanupTestCase()
{
    other.reset();
    otherWayland.reset();
    clipboard.reset();
    wayland.reset();
}

void TestDataControlClipboard::readsWhatAnotherProgramPut_data()
{
    QTest::addColumn<QStringList>("copyArguments"); // of wl-copy; empty: the second client puts the formats
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<QByteArray>>("data");
    QTest::addColumn<qsizetype>("maxBytes");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QString>("text"); // null: no text offered

    const QByteArray utf8 = u"Grüße ©\nzweite Zeile"_s.toUtf8();
    const QStringList textTypes{u"STRING"_s, u"TEXT"_s, u"UTF8_STRING"_s, u"text/plain"_s,
                                u"text/plain;charset=utf-8"_s};
    QTest::newRow("text") << QStringList{u"-t"_s, u"text/plain;charset=utf-8"_s} << textTypes
                          << QList<QByteArray>(textTypes.size(), utf8) << qsizetype(1024) << true
                          << QString::fromUtf8(utf8);
    QTest::newRow("picture") << QStringList{u"-t"_s, u"image/png"_s} << QStringList{u"image/png"_s}
                             << QList<QByteArray>{Binary(100000)} << qsizetype(100000) << true << QString();
    QTest::newRow("empty clipboard") << QStringList{u"--clear"_s} << QStringList() << QList<QByteArray>()
                                     << qsizetype(0) << true << QString();
    QTest::newRow("larger than the bound")
        << QStringList{u"-t"_s, u"image/png"_s} << QStringList{u"image/png"_s} << QList<QByteArray>{Binary(300000)}
        << qsizetype(299999) << false << QString();
    QTest::newRow("several types at once")
        << QStringList() << QStringList{u"application/x-extra"_s, u"image/png"_s, u"text/html"_s, u"text/plain"_s}
        << QList<QByteArray>{QByteArray(), Binary(70000), "<b>fett</b>", "fett"} << qsizetype(80000) << true
        << u"fett"_s;
    QTest::newRow("several types over the bound together")
        << QStringList() << QStringList{u"image/png"_s, u"text/plain"_s}
        << QList<QByteArray>{Binary(70000), QByteArray(20000, 'x')} << qsizetype(80000) << false
        << QString(20000, u'x');
}

void TestDataControlClipboard::readsWhatAnotherProgramPut()
{
    QFETCH(QStringList, copyArguments);
    QFETCH(QStringList, names);
    QFETCH(QList<QByteArray>, data);
    QFETCH(qsizetype, maxBytes);
    QFETCH(bool, fits);
    QFETCH(QString, text);

    if (copyArguments.isEmpty())
        other->setAllFormats(Content(names, data));
    else
        Run(u"wl-copy"_s, copyArguments, data.value(0));
    QTRY_COMPARE(clipboard->hasText(), !text.isNull());
    QCOMPARE(clipboard->text(), text.isNull() ? QString() : text);

    const std::optional<ClipboardContent> content = clipboard->allFormats(maxBytes);
    QCOMPARE(content.has_value(), fits);
    if (!fits) {
        qsizetype total = 0;
        for (const QByteArray& bytes : std::as_const(data))
            total += bytes.size();
        QVERIFY(clipboard->allFormats(total).has_value());
        return;
    }
    QCOMPARE(SortedNames(*content), names);
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(DataOf(*content, names[i]), data[i]);
    for (const ClipboardFormat& format : *content)
        QVERIFY(format.type.isEmpty() && format.unitBits == 8);
}

void TestDataControlClipboard::othersReadWhatWePut_data()
{
    QTest::addColumn<QString>("put"); // text, files or formats
    QTest::addColumn<bool>("transient");
    QTest::addColumn<QStringList>("given"); // the text, the paths, or the formats' names
    QTest::addColumn<QList<QByteArray>>("givenData");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<QByteArray>>("data");

    const QByteArray utf8 = u"Grüße ©"_s.toUtf8();
    const QByteArray latin1 = u"Grüße ©"_s.toLatin1();
    QTest::newRow("Latin-1 text") << u"text"_s << false << QStringList{u"Grüße ©"_s} << QList<QByteArray>()
                                  << QStringList{u"STRING"_s, u"TEXT"_s, u"UTF8_STRING"_s, u"text/plain"_s,
                                                 u"text/plain;charset=utf-8"_s}
                                  << QList<QByteArray>{latin1, utf8, utf8, utf8, utf8};
    const QByteArray japanese = u"日本語"_s.toUtf8();
    QTest::newRow("text beyond Latin-1") << u"text"_s << false << QStringList{u"日本語"_s} << QList<QByteArray>()
                                         << QStringList{u"TEXT"_s, u"UTF8_STRING"_s, u"text/plain"_s,
                                                        u"text/plain;charset=utf-8"_s}
                                         << QList<QByteArray>{japanese, japanese, japanese, japanese};
    QTest::newRow("passing text") << u"text"_s << true << QStringList{u"secret"_s} << QList<QByteArray>()
                                  << QStringList{u"STRING"_s,
                                                 u"TEXT"_s,
                                                 u"UTF8_STRING"_s,
                                                 u"application/x-copyq-hidden"_s,
                                                 u"text/plain"_s,
                                                 u"text/plain;charset=utf-8"_s,
                                                 u"x-kde-passwordManagerHint"_s}
                                  << QList<QByteArray>{"secret", "secret", "secret", "1", "secret", "secret", "secret"};
    QTest::newRow("files") << u"files"_s << false << QStringList{u"/tmp/price list.pdf"_s, u"/tmp/Ärger.txt"_s}
                           << QList<QByteArray>() << QStringList{u"text/uri-list"_s, u"x-special/gnome-copied-files"_s}
                           << QList<QByteArray>{"file:///tmp/price%20list.pdf\r\nfile:///tmp/%C3%84rger.txt\r\n",
                                                "copy\nfile:///tmp/price%20list.pdf\nfile:///tmp/%C3%84rger.txt"};
    const QList<QByteArray> formats{Binary(70000), "<i>x</i>", "x"};
    QTest::newRow("every format as read")
        << u"formats"_s << false << QStringList{u"image/png"_s, u"text/html"_s, u"text/plain"_s} << formats
        << QStringList{u"image/png"_s, u"text/html"_s, u"text/plain"_s} << formats;
    QTest::newRow("passing picture") << u"formats"_s << true << QStringList{u"image/png"_s}
                                     << QList<QByteArray>{Binary(1000)}
                                     << QStringList{u"application/x-copyq-hidden"_s, u"image/png"_s,
                                                    u"x-kde-passwordManagerHint"_s}
                                     << QList<QByteArray>{"1", Binary(1000), "secret"};
}

void TestDataControlClipboard::othersReadWhatWePut()
{
    QFETCH(QString, put);
    QFETCH(bool, transient);
    QFETCH(QStringList, given);
    QFETCH(QList<QByteArray>, givenData);
    QFETCH(QStringList, names);
    QFETCH(QList<QByteArray>, data);

    clipboard->setTransient(transient);
    if (put == u"text")
        clipboard->setText(given.value(0));
    else if (put == u"files")
        clipboard->setFiles(given);
    else
        clipboard->setAllFormats(Content(given, givenData));
    clipboard->setTransient(false);

    QCOMPARE(PastedTypes(), names);
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(Paste(names[i]), data[i]);
    // Our own content is answered from memory, the same.
    const std::optional<ClipboardContent> own = clipboard->allFormats(1 << 20);
    QVERIFY(own.has_value());
    QCOMPARE(SortedNames(*own), names);
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(DataOf(*own, names[i]), data[i]);
    QCOMPARE(clipboard->hasText(), put == u"text" || names.contains(u"text/plain"));
    if (put == u"text")
        QCOMPARE(clipboard->text(), given.value(0));
}

void TestDataControlClipboard::ownerThatNeverWritesIsBusy_data()
{
    QTest::addColumn<bool>("everyFormat");
    QTest::newRow("text") << false;
    QTest::newRow("every format") << true;
}

void TestDataControlClipboard::ownerThatNeverWritesIsBusy()
{
    QFETCH(bool, everyFormat);
    const SilentOwner owner;
    QTRY_VERIFY(clipboard->hasText());
    QElapsedTimer clock;
    clock.start();
    try {
        if (everyFormat)
            (void)clipboard->allFormats(1 << 20);
        else
            (void)clipboard->text();
        QFAIL("read from an owner that never writes");
    } catch (const ClipboardBusy& busy) {
        QCOMPARE(busy.text(), u"Cannot open clipboard"_s);
    }
    // Types are asked for one after the other: the first unanswered one ends the read, which
    // for every format is tried once more.
    const int attempts = everyFormat ? 2 : 1;
    QVERIFY2(clock.elapsed() >= attempts * DataControlClipboard::OwnerAnswerMs - 20,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(clock.elapsed() < (attempts + 1) * DataControlClipboard::OwnerAnswerMs,
             qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(owner.held.size(), attempts);
}

void TestDataControlClipboard::fetchedWait_data()
{
    QTest::addColumn<bool>("transient");
    QTest::addColumn<QList<QByteArray>>("managerReads"); // at once, before the wait
    QTest::addColumn<QString>("readers"); // a shell command; empty: nobody reads
    QTest::addColumn<bool>("fetched");

    const QByteArray copyqMark = "application/x-copyq-hidden";
    QTest::newRow("read by wl-paste") << false << QList<QByteArray>() << u"wl-paste -n"_s << true;
    QTest::newRow("passing text read by wl-paste") << true << QList<QByteArray>() << u"wl-paste -n"_s << true;
    QTest::newRow("nobody reads") << false << QList<QByteArray>() << QString() << false;
    QTest::newRow("only a mark looked at")
        << true << QList<QByteArray>{"x-kde-passwordManagerHint"} << QString() << false;
    QTest::newRow("a manager reads the text, then the mark")
        << true << QList<QByteArray>{"text/plain", "text/plain;charset=utf-8", copyqMark} << QString() << false;
    QTest::newRow("a manager, then the destination")
        << true << QList<QByteArray>{"text/plain", copyqMark} << u"sleep 0.2; wl-paste -n"_s << true;
    QTest::newRow("the destination within a manager's reads")
        << true << QList<QByteArray>{"text/plain", "text/plain", copyqMark} << QString() << true;
    QTest::newRow("a manager reads unmarked text") << false << QList<QByteArray>{"text/plain"} << QString() << true;
}

void TestDataControlClipboard::fetchedWait()
{
    QFETCH(bool, transient);
    QFETCH(QList<QByteArray>, managerReads);
    QFETCH(QString, readers);
    QFETCH(bool, fetched);

    ManagerLook manager;
    clipboard->setTransient(transient);
    clipboard->setText(u"to be pasted"_s);
    clipboard->setTransient(false);
    QElapsedTimer clock;
    clock.start();
    if (!managerReads.isEmpty())
        QVERIFY(manager.read(managerReads) > 0);
    QProcess reading;
    if (!readers.isEmpty())
        reading.start(u"sh"_s, {u"-c"_s, readers});
    const int timeoutMs = fetched ? 10000 : 500;
    QCOMPARE(clipboard->waitUntilRead(0, timeoutMs), fetched);
    // Less a millisecond: this clock and the clipboard's both count whole milliseconds, and the
    // reads may end within the first.
    const qint64 least = fetched ? DataControlClipboard::QuietMs - 1 : timeoutMs;
    QVERIFY2(clock.elapsed() >= least, qPrintable(QString::number(clock.elapsed())));
    if (!readers.isEmpty()) {
        QTRY_VERIFY(reading.state() == QProcess::NotRunning);
        QVERIFY(!reading.readAllStandardOutput().isEmpty());
    }
}

void TestDataControlClipboard::stalledReaderHoldsNobody()
{
    // A reader that stops taking the content after a while, then goes away while we still
    // write to it: we neither wait for it nor end with it.
    const QByteArray large(4 << 20, 'q');
    clipboard->setText(QString::fromLatin1(large));
    QProcess stalled;
    stalled.start(u"sh"_s, {u"-c"_s, u"wl-paste -n | sleep 3"_s});
    // The default action of SIGPIPE, ending the process, as before the program's first QProcess
    // (which has Qt ignore the signal from then on).
    std::signal(SIGPIPE, SIG_DFL);
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Paste(u"text/plain"_s).size(), large.size());
    // Held by the stalled reader, it would take until that reader goes, 2.8 s from here.
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(stalled.state() == QProcess::NotRunning, 8000);
    QTest::qWait(100);
    clipboard->setText(u"still here"_s);
    QCOMPARE(Paste(u"text/plain"_s), "still here");
}

void TestDataControlClipboard::anotherProgramTakesOver()
{
    clipboard->setText(u"ours"_s);
    QProcess copy;
    copy.start(u"wl-copy"_s, {u"--foreground"_s, u"theirs"_s});
    QTRY_COMPARE(clipboard->text(), u"theirs"_s);
    QCOMPARE(SortedNames(*clipboard->allFormats(1024)),
             (QStringList{u"STRING"_s, u"TEXT"_s, u"UTF8_STRING"_s, u"text/plain"_s, u"text/plain;charset=utf-8"_s}));
    // Putting back an empty clipboard leaves the newer content of another program alone.
    clipboard->setAllFormats({});
    QCOMPARE(Paste(u"text/plain"_s), "theirs");

    clipboard->setText(u"ours again"_s);
    QTRY_VERIFY(copy.state() == QProcess::NotRunning); // wl-copy ends when it loses the clipboard
    QCOMPARE(Paste(u"text/plain"_s), "ours again");
    // Our own content does go when an empty clipboard is put back.
    clipboard->setAllFormats({});
    // (Asked of our second client: wl-paste waits for a selection that KWin does not announce
    // while the clipboard is empty.)
    QCOMPARE(other->allFormats(1024), ClipboardContent());
    QVERIFY(!clipboard->hasText());
    QCOMPARE(clipboard->allFormats(1024), ClipboardContent());
}

QTEST_GUILESS_MAIN(TestDataControlClipboard)
#include "tst_datacontrolclipboard.moc"
