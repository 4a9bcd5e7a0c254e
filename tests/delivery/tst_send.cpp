// The send command and attachment collection against the recording fake desktop.
#include "delivery/send.h"

#include "app/sendcommand.h"
#include "delivery/globals.h"
#include "platform/fake/fakeplatform.h"
#include "scriptedinteraction.h"
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "util/errors.h"
#include "util/textutils.h"
#include "util/virtualkeys.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString NotExactlyOne
    = u"That search did not result in exactly one result, so the send will be cancelled. Please use a search term "
      "that matches exactly one result; a HotWord is recommended for maximum speed and efficiency."_s;
const QString NoTarget = u"Please use the Tools->Options menu to identify which email program you are using "
                         "before using this command."_s;
const QString OnlyOutlook = u"Attachments can only be sent to Outlook or Outlook Express"_s;

template <typename T, typename V> void SetOption(const SettingKey<T>& key, const V& value)
{
    Options options(OptionsFilePath());
    options.setValue(key, value);
    options.save();
}

// Boxes and prompts also go into the fake desktop's journal, to check the order of all steps.
class JournalingInteraction : public ScriptedInteraction {
public:
    explicit JournalingInteraction(QStringList& journal)
        : m_journal(journal)
    { }
    void showMessage(const QString& text) override
    {
        m_journal.append(u"message "_s + text);
        ScriptedInteraction::showMessage(text);
    }
    bool confirmYesNo(const QString& text) override
    {
        m_journal.append(u"confirm "_s + text.section(u"\r\n\r\n"_s, 1));
        return ScriptedInteraction::confirmYesNo(text);
    }
    std::optional<QString> inputText(const QString& caption, const QString& prompt, const QString& value,
                                     int maxLength) override
    {
        m_journal.append(u"input "_s + prompt);
        return ScriptedInteraction::inputText(caption, prompt, value, maxLength);
    }

private:
    QStringList& m_journal;
};

class FakeSendView : public SendCommandView {
public:
    explicit FakeSendView(QStringList& journal)
        : m_journal(journal)
    { }
    bool searchTermIsEmpty() override { return searchTerm.isEmpty(); }
    QString shownText() override { return text; }
    bool singleMessageShown() override { return single; }
    void runSearch() override
    {
        ++searches;
        m_journal.append(u"search"_s);
        if (searchShows) {
            text = *searchShows;
            single = true;
        }
    }
    QList<ShownAttachment> shownAttachments() override { return attachments; }
    WindowHandle cameFromWindow() override { return cameFrom; }

    QString searchTerm = u"greeting"_s;
    QString text = u"Hello, see %INCLUDE:sig%"_s;
    bool single = true;
    std::optional<QString> searchShows;
    int searches = 0;
    QList<ShownAttachment> attachments;
    QStringList toSend;
    WindowHandle cameFrom = 0;

private:
    QStringList& m_journal;
};

} // namespace

class TestSend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void nothingShownDoesNothing();
    void searchRunsOnceWhenNoSingleMessageIsShown();
    void refusedWithoutDestination();
    void fullSendInOrder();
    void cancelledPromptLeavesClipboardUntouched();
    void noDestinationWindow_data();
    void noDestinationWindow();
    void cameFromWindowIsTheDestination();
    void ownWindowsAreNeverDestinations();
    void destinationNotReached_data();
    void destinationNotReached();
    void clipboardRestore_data();
    void clipboardRestore();
    void clipboardRestoreBounds();
    void attachmentsOnlyForOutlook();
    void declinedAndMissingAttachments();
    void textEndsAtZeroCharacter();
    void outcomes_data();
    void outcomes();
    void clipboardBusyStopsWithItsError();
    void modifierHeldStopsBeforePaste();
    void secondSendWhileOneRunsIsIgnored_data();
    void secondSendWhileOneRunsIsIgnored();

private:
    QString makeFile(const QString& name);
    void send()
    {
        Options options(OptionsFilePath());
        RunSendCommand(*context, fake->platform, *ui, options, expand, context->toSend);
    }
    QStringList keyJournal() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<JournalingInteraction> ui;
    std::unique_ptr<FakeSendView> context;
    QStringList expanded; // the texts handed to the expansion
    TokenExpander expand;
    WindowHandle inbox = 0;
};

void TestSend::init()
{
    dir = std::make_unique<QTemporaryDir>();
    OverrideAppDir(dir->path());
    fake = std::make_unique<FakePlatform>();
    ui = std::make_unique<JournalingInteraction>(fake->journal);
    context = std::make_unique<FakeSendView>(fake->journal);
    expanded.clear();
    // Stands in for the token expansion: one prompt per free-text field, Cancel aborts.
    expand = [this](const QString& text) {
        expanded.append(text);
        fake->journal.append(u"expand"_s);
        QString result = text;
        qsizetype start;
        while ((start = result.indexOf(u"^^INPUT:"_s)) >= 0) {
            const qsizetype end = result.indexOf(u"^^"_s, start + 8);
            const QString prompt = result.mid(start + 8, end - start - 8).section(u"||"_s, 0, 0);
            const std::optional<QString> answer = ui->inputText(u"Free Text Entry"_s, prompt, {}, 255);
            if (!answer)
                throw Abort();
            result.replace(start, end + 2 - start, *answer);
        }
        return result.replace(u"%INCLUDE:sig%"_s, u"Regards"_s);
    };

    SetOption(Setting::Target, u"Outlook"_s);
    OpenTargetsFile().writeText(u"Outlook"_s, u"Target"_s, u"Outlook"_s);
    OpenTargetsFile().writeText(u"Outlook"_s, u"Search Type"_s, u"Substring"_s);
    fake->windows.addWindow(u"Outlook Express"_s);
    inbox = fake->windows.addWindow(u"Inbox - Outlook"_s);
    fake->windows.addWindow(u"Tolvane Quillbay"_s);
    fake->clipboard.content = u"abc"_s;
}

void TestSend::cleanup()
{
    context.reset();
    ui.reset();
    fake.reset();
    OverrideAppDir({});
}

QString TestSend::makeFile(const QString& name)
{
    const QString path = dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(path));
    return path;
}

QStringList TestSend::keyJournal() const
{
    QStringList keys;
    for (const QString& entry : fake->journal) {
        if (entry.startsWith(u"key "_s))
            keys.append(entry);
    }
    return keys;
}

void TestSend::nothingShownDoesNothing()
{
    context->searchTerm.clear();
    context->text.clear();
    context->single = false;
    send();
    QVERIFY(fake->journal.isEmpty());
    QVERIFY(ui->shown.isEmpty());
    QVERIFY(expanded.isEmpty());

    // Search box empty but a Message shown from the tree: sent without a search.
    context->text = u"Hi"_s;
    context->single = true;
    send();
    QCOMPARE(context->searches, 0);
    QCOMPARE(fake->clipboard.history.value(0), u"Hi"_s);
}

void TestSend::searchRunsOnceWhenNoSingleMessageIsShown()
{
    context->single = false;
    send();
    QCOMPARE(context->searches, 1);
    QCOMPARE(ui->texts(u"message"_s), QStringList{NotExactlyOne});
    QVERIFY(expanded.isEmpty());
    QCOMPARE(fake->windows.enumerations, 0);
    QVERIFY(fake->clipboard.history.isEmpty());

    // The search shows exactly one Message: that Message's text is sent.
    ui->clear();
    context->searchShows = u"Found text"_s;
    send();
    QCOMPARE(context->searches, 2);
    QCOMPARE(expanded, QStringList{u"Found text"_s});
    QVERIFY(ui->shown.isEmpty());
    QCOMPARE(fake->clipboard.history.value(0), u"Found text"_s);
}

void TestSend::refusedWithoutDestination()
{
    SetOption(Setting::Target, QString());
    send();
    QCOMPARE(ui->texts(u"message"_s), QStringList{NoTarget});
    QCOMPARE(fake->windows.enumerations, 0);
    QVERIFY(expanded.isEmpty());
    QVERIFY(fake->clipboard.history.isEmpty());
    QVERIFY(fake->keyboard.events.isEmpty());
}

void TestSend::fullSendInOrder()
{
    const QString a = makeFile(u"a.pdf"_s);
    const QString b = makeFile(u"b.pdf"_s);
    context->attachments = {{a, false}, {b, true}};
    context->text = u"Hello ^^INPUT:Name||^^, see %INCLUDE:sig%"_s;
    ui->confirmAnswers = {true};
    ui->inputAnswers = {u"Ann"_s};
    send();

    const QString keys[] = {u"key 0x11 down"_s, u"key 0x56 down"_s, u"key 0x56 up"_s, u"key 0x11 up"_s};
    QStringList expected{u"enumerate"_s,
                         u"confirm "_s + b,
                         u"expand"_s,
                         u"input Name"_s,
                         u"activate %1"_s.arg(inbox),
                         u"raise %1"_s.arg(inbox),
                         u"clipboard transient on"_s,
                         u"clipboard text Hello Ann, see Regards"_s,
                         u"wait active %1"_s.arg(inbox),
                         u"wait modifiers"_s};
    expected << keys[0] << keys[1] << keys[2] << keys[3] << u"wait read %1"_s.arg(inbox)
             << u"clipboard files:"_s + a + u'|' + b;
    expected << keys[0] << keys[1] << keys[2] << keys[3] << u"wait read %1"_s.arg(inbox) << u"clipboard transient off"_s
             << u"clipboard content abc"_s;
    QCOMPARE(fake->journal, expected);
    QCOMPARE(context->toSend, (QStringList{a, b}));
    QCOMPARE(fake->clipboard.content, u"abc"_s);
    QCOMPARE(ui->shown.size(), 2);

    // The exact events of each Ctrl+V, with the scan codes of the desktop.
    const QList<KeyEventRecord> paste{{Vk::Control, 0x1D, 0},
                                      {Vk::KeyV, 0x2F, 0},
                                      {Vk::KeyV, 0x2F, KeyboardSynth::KeyUp},
                                      {Vk::Control, 0x1D, KeyboardSynth::KeyUp}};
    QCOMPARE(fake->keyboard.events, paste + paste);
}

void TestSend::cancelledPromptLeavesClipboardUntouched()
{
    context->attachments = {{makeFile(u"a.pdf"_s), true}};
    context->text = u"^^INPUT:First||^^ ^^INPUT:Second||^^"_s;
    ui->confirmAnswers = {true};
    ui->inputAnswers = {u"one"_s, std::nullopt};
    QVERIFY_THROWS_EXCEPTION(Abort, send());
    QCOMPARE(ui->texts(u"confirm"_s).size(), 1); // asked before the prompts
    QCOMPARE(ui->texts(u"input"_s), (QStringList{u"First"_s, u"Second"_s}));
    QVERIFY(ui->texts(u"message"_s).isEmpty());
    QVERIFY(fake->journal.filter(u"activate"_s).isEmpty());
    QVERIFY(fake->clipboard.history.isEmpty());
    QCOMPARE(fake->clipboard.content, u"abc"_s);
    QVERIFY(fake->keyboard.events.isEmpty());
}

void TestSend::noDestinationWindow_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("cameFrom"); // 0 none, 1 the inbox, 2 a window closed since
    QTest::addColumn<bool>("enumerates");
    QTest::addColumn<QString>("message");

    const QString cameFrom = CameFromDestination.toString();
    QTest::newRow("no window has the title")
        << u"Outlook"_s << 1 << true << u"Could not find a message window owned by \"Outlook\""_s;
    QTest::newRow("came from no window")
        << cameFrom << 0 << false
        << u"There is no window to paste into yet. Call Tolvane Quillbay up with its hot key from the window the "
           "Message is for, then send again."_s;
    QTest::newRow("came from a window closed since")
        << cameFrom << 2 << true
        << u"The window you came from is gone. Call Tolvane Quillbay up with its hot key from the window the "
           "Message is for, then send again."_s;
}

void TestSend::noDestinationWindow()
{
    QFETCH(QString, target);
    QFETCH(int, cameFrom);
    QFETCH(bool, enumerates);
    QFETCH(QString, message);
    SetOption(Setting::Target, target);
    fake->windows.window(inbox).title = u"Calendar"_s;
    context->cameFrom = cameFrom == 1 ? inbox : cameFrom == 2 ? WindowHandle(999) : WindowHandle(0);
    context->attachments = {{makeFile(u"a.pdf"_s), true}};
    context->text = u"Dear ^^INPUT:Name||^^"_s;
    send();
    // The window is looked for before any question, so no answer is given in vain.
    QStringList expected{u"message "_s + message};
    if (enumerates)
        expected.prepend(u"enumerate"_s);
    QCOMPARE(fake->journal, expected);
    QVERIFY(expanded.isEmpty());
    QVERIFY(fake->clipboard.history.isEmpty());
    QCOMPARE(fake->clipboard.content, u"abc"_s);
    QVERIFY(fake->keyboard.events.isEmpty());
}

void TestSend::cameFromWindowIsTheDestination()
{
    // Whatever its title: a chat, a browser, an office program.
    const WindowHandle chat = fake->windows.addWindow(u"Chat - Ann"_s);
    fake->windows.addWindow(u"Web mail - Chromium"_s);
    SetOption(Setting::Target, CameFromDestination.toString().toUpper());
    context->cameFrom = chat;
    context->text = u"Hi ^^INPUT:Name||^^"_s;
    ui->inputAnswers = {u"Ann"_s};
    send();
    QVERIFY(ui->texts(u"message"_s).isEmpty());
    QCOMPARE(fake->journal.mid(0, 5),
             (QStringList{u"enumerate"_s, u"expand"_s, u"input Name"_s, u"activate %1"_s.arg(chat),
                          u"raise %1"_s.arg(chat)}));
    QCOMPARE(fake->journal.filter(u"wait read"_s), QStringList{u"wait read %1"_s.arg(chat)});
    QCOMPARE(keyJournal().size(), 4);
    QCOMPARE(fake->clipboard.history.value(0), u"Hi Ann"_s);
}

void TestSend::ownWindowsAreNeverDestinations()
{
    // The program's own window lies on top and its title matches the pattern.
    const WindowHandle own = 100;
    fake->windows.addExistingWindow(own, u"Search - Outlook"_s);
    fake->windows.ownWindows = {own};
    context->text = u"Text"_s;
    send();
    QCOMPARE(fake->journal.filter(u"activate"_s), QStringList{u"activate %1"_s.arg(inbox)});
    QCOMPARE(keyJournal().size(), 4);

    // With no other match there is no destination at all.
    fake->windows.window(inbox).title = u"Calendar"_s;
    fake->journal.clear();
    fake->keyboard.events.clear();
    send();
    QCOMPARE(ui->texts(u"message"_s), QStringList{u"Could not find a message window owned by \"Outlook\""_s});
    QVERIFY(fake->journal.filter(u"activate"_s).isEmpty());
    QVERIFY(fake->keyboard.events.isEmpty());
}

void TestSend::destinationNotReached_data()
{
    QTest::addColumn<bool>("activates");
    QTest::addColumn<bool>("fetches");
    QTest::addColumn<bool>("withAttachment");
    QTest::addColumn<int>("keyEvents");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("left");

    const QString notFront = u"The text was not pasted: the window \"Inbox - Outlook\" did not come to the front. "
                             "The text is on the clipboard; paste it there by hand."_s;
    const QString notFetched = u"The text was not pasted: the window \"Inbox - Outlook\" did not take it from the "
                               "clipboard. The text is on the clipboard; paste it there by hand."_s;
    QTest::newRow("not in front") << false << true << false << 0 << notFront << u"Text"_s;
    QTest::newRow("not in front, attachment") << false << true << true << 0 << notFront << u"Text"_s;
    QTest::newRow("never fetches") << true << false << false << 4 << notFetched << u"Text"_s;
    QTest::newRow("never fetches, attachment") << true << false << true << 4 << notFetched << u"Text"_s;
}

void TestSend::destinationNotReached()
{
    QFETCH(bool, activates);
    QFETCH(bool, fetches);
    QFETCH(bool, withAttachment);
    QFETCH(int, keyEvents);
    QFETCH(QString, message);
    QFETCH(QString, left);
    if (withAttachment)
        context->attachments = {{makeFile(u"a.pdf"_s), false}};
    context->text = u"Text"_s;
    fake->windows.activationWorks = activates;
    fake->clipboard.readerPresent = fetches;
    send();
    QCOMPARE(ui->texts(u"message"_s), QStringList{message});
    QCOMPARE(fake->keyboard.events.size(), keyEvents);
    // Not restored: a late paste must not bring the old clipboard into the mail.
    QCOMPARE(fake->clipboard.history, QStringList{left});
    QCOMPARE(fake->clipboard.content, left);
}

void TestSend::clipboardRestore_data()
{
    QTest::addColumn<std::optional<QString>>("text");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<ClipboardContent>("other");

    const ClipboardFormat picture{u"image/png"_s, QByteArray("\x89PNG\0\1\2", 7), u"image/png"_s, 8};
    const ClipboardFormat html{u"text/html"_s, QByteArray("<b>abc</b>"), u"text/html"_s, 8};
    QTest::newRow("text") << std::optional<QString>(u"abc"_s) << QStringList() << ClipboardContent();
    QTest::newRow("text with zero") << std::optional<QString>(u"old"_s + QChar(0) + u"rest"_s) << QStringList()
                                    << ClipboardContent();
    QTest::newRow("picture") << std::optional<QString>() << QStringList() << ClipboardContent{picture};
    QTest::newRow("rich text") << std::optional<QString>(u"abc"_s) << QStringList() << ClipboardContent{html};
    QTest::newRow("files") << std::optional<QString>() << QStringList{u"/tmp/x.pdf"_s} << ClipboardContent();
    QTest::newRow("empty") << std::optional<QString>() << QStringList() << ClipboardContent();
}

void TestSend::clipboardRestore()
{
    QFETCH(std::optional<QString>, text);
    QFETCH(QStringList, files);
    QFETCH(ClipboardContent, other);
    fake->clipboard.content = text;
    fake->clipboard.files = files;
    fake->clipboard.otherFormats = other;
    context->text = u"Text"_s;
    send();
    QVERIFY(ui->shown.isEmpty());
    QCOMPARE(fake->clipboard.history.value(0), u"Text"_s);
    QCOMPARE(fake->clipboard.history.size(), 2);
    // Exactly as it was, whatever it held.
    QCOMPARE(fake->clipboard.content, text);
    QCOMPARE(fake->clipboard.files, files);
    QCOMPARE(fake->clipboard.otherFormats, other);
    // Clipboard managers are told to leave out what was pasted, but not the user's own content.
    QCOMPARE(fake->clipboard.historyTransient, (QList<bool>{true, false}));
    QVERIFY(!fake->clipboard.transient);
}

void TestSend::clipboardRestoreBounds()
{
    // Content too large to save whole: only its text comes back.
    fake->clipboard.otherFormats = {{u"image/png"_s, QByteArray(MaxSavedClipboardBytes, 'x'), u"image/png"_s, 8}};
    context->text = u"Text"_s;
    send();
    QCOMPARE(fake->clipboard.history, (QStringList{u"Text"_s, u"abc"_s}));
    QCOMPARE(fake->clipboard.content, u"abc"_s);
    QVERIFY(fake->clipboard.otherFormats.isEmpty());

    SetOption(Setting::RestoreClipboard, false);
    fake->clipboard.content = u"abc"_s;
    fake->clipboard.history.clear();
    send();
    QCOMPARE(fake->clipboard.history, QStringList{u"Text"_s});
    QCOMPARE(fake->clipboard.content, u"Text"_s);
}

void TestSend::attachmentsOnlyForOutlook()
{
    const QString a = makeFile(u"a.pdf"_s);
    const QString b = makeFile(u"b.pdf"_s);
    context->attachments = {{a, true}, {b, false}};
    context->toSend = {u"stale"_s};

    OpenTargetsFile().writeText(u"Eudora"_s, u"Target"_s, u"Outlook"_s);
    SetOption(Setting::Target, u"Eudora"_s);
    send();
    QCOMPARE(ui->texts(u"message"_s), QStringList{OnlyOutlook});
    QVERIFY(context->toSend.isEmpty());
    QCOMPARE(keyJournal().size(), 4);
    QCOMPARE(fake->clipboard.files, QStringList());

    // The name is compared without regard to case.
    OpenTargetsFile().writeText(u"outlook express"_s, u"Target"_s, u"Outlook"_s);
    SetOption(Setting::Target, u"outlook express"_s);
    ui->clear();
    ui->confirmAnswers = {true};
    fake->journal.clear();
    send();
    QVERIFY(ui->texts(u"message"_s).isEmpty());
    QCOMPARE(context->toSend, (QStringList{a, b}));
    QCOMPARE(keyJournal().size(), 8);

    // Attachments off: no question, no message, one paste, and last send's list is gone.
    SetOption(Setting::DoAttachments, false);
    ui->clear();
    fake->journal.clear();
    send();
    QVERIFY(ui->shown.isEmpty());
    QVERIFY(context->toSend.isEmpty());
    QCOMPARE(keyJournal().size(), 4);

    // A Message without attachments: no question and no message for any destination.
    SetOption(Setting::DoAttachments, true);
    SetOption(Setting::Target, u"Eudora"_s);
    context->attachments.clear();
    send();
    QVERIFY(ui->shown.isEmpty());
}

void TestSend::declinedAndMissingAttachments()
{
    const QString a = makeFile(u"a.pdf"_s);
    const QString b = makeFile(u"b.pdf"_s);
    const QString c = makeFile(u"c.pdf"_s);
    context->attachments = {{a, false}, {b, true}, {c, false}};
    ui->confirmAnswers = {false};
    send();
    QCOMPARE(ui->texts(u"confirm"_s),
             QStringList{u"Is it OK to attach the following file to this email ?\r\n\r\n"_s + b});
    QCOMPARE(context->toSend, (QStringList{a, c}));

    // A file gone since the Message was shown, and a folder, are skipped with a message each.
    QFile::remove(b);
    const QString folder = dir->filePath(u"folder"_s);
    QVERIFY(QDir().mkdir(folder));
    context->attachments = {{a, false}, {b, true}, {folder, false}, {c, true}};
    ui->clear();
    ui->confirmAnswers = {true};
    send();
    QCOMPARE(ui->texts(u"message"_s),
             (QStringList{u"The attachment "_s + b + u" does not exist ! This file is being skipped."_s,
                          u"The attachment "_s + folder + u" does not exist ! This file is being skipped."_s}));
    QCOMPARE(context->toSend, (QStringList{a, c}));

    // Every file declined: one paste only.
    context->attachments = {{a, true}};
    ui->confirmAnswers = {false};
    fake->journal.clear();
    send();
    QVERIFY(context->toSend.isEmpty());
    QCOMPARE(keyJournal().size(), 4);
}

void TestSend::textEndsAtZeroCharacter()
{
    // Cut before expansion: the prompt after the zero character is never asked.
    context->text = u"before ^^INPUT:A||^^"_s + QChar(0) + u"after ^^INPUT:B||^^"_s;
    ui->inputAnswers = {u"x"_s};
    send();
    QCOMPARE(ui->texts(u"input"_s), QStringList{u"A"_s});
    QCOMPARE(fake->clipboard.history.value(0), u"before x"_s);
}

namespace {

// Records the questions of a send; answers every "attach?" with yes.
class RecordedQuestions : public SendQuestions {
public:
    bool attachFile(const QString& fileName) override
    {
        asked.append(u"attach "_s + fileName);
        return true;
    }
    void attachmentMissing(const QString& fileName) override { asked.append(u"missing "_s + fileName); }
    void attachmentsNotForTarget() override { asked.append(u"not for target"_s); }
    QStringList asked;
};

} // namespace

void TestSend::outcomes_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("title"); // the destination window's title
    QTest::addColumn<bool>("activates");
    QTest::addColumn<bool>("modifiersHeld");
    QTest::addColumn<int>("fetches"); // how many pastes the destination fetches
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("windowTitle");
    QTest::addColumn<int>("keyEvents");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("cameFrom"); // 0 none, 1 a chat window, 2 a window closed since

    const QString inboxTitle = u"Inbox - Outlook"_s;
    const QString cameFrom = CameFromDestination.toString();
    QTest::newRow("came from") << cameFrom << inboxTitle << true << false << 2 << int(SendOutcome::Pasted) << u"Chat"_s
                               << 4 << QString() << 1;
    QTest::newRow("came from none") << cameFrom << inboxTitle << true << false << 2
                                    << int(SendOutcome::NoCameFromWindow) << QString() << 0
                                    << u"There is no window to paste into yet. Call Tolvane Quillbay up with its hot "
                                       "key from the window the Message is for, then send again."_s
                                    << 0;
    QTest::newRow("came from, gone") << cameFrom << inboxTitle << true << false << 2
                                     << int(SendOutcome::CameFromWindowGone) << QString() << 0
                                     << u"The window you came from is gone. Call Tolvane Quillbay up with its hot key "
                                        "from the window the Message is for, then send again."_s
                                     << 2;
    QTest::newRow("pasted") << u"Outlook"_s << inboxTitle << true << false << 2 << int(SendOutcome::Pasted)
                            << inboxTitle << 8 << QString() << 0;
    QTest::newRow("no destination set") << QString() << inboxTitle << true << false << 2
                                        << int(SendOutcome::NoDestinationSet) << QString() << 0 << NoTarget << 0;
    QTest::newRow("no window") << u"Outlook"_s << u"Calendar"_s << true << false << 2 << int(SendOutcome::NoWindowFound)
                               << QString() << 0 << u"Could not find a message window owned by \"Outlook\""_s << 0;
    QTest::newRow("not activated")
        << u"Outlook"_s << inboxTitle << false << false << 2 << int(SendOutcome::NotActivated) << inboxTitle << 0
        << u"The text was not pasted: the window \"Inbox - Outlook\" did not come to the front. The text is on the "
           "clipboard; paste it there by hand."_s
        << 0;
    QTest::newRow("modifier held")
        << u"Outlook"_s << inboxTitle << true << true << 2 << int(SendOutcome::ModifiersHeld) << inboxTitle << 0
        << u"The text was not pasted: a Shift, Ctrl, Alt or Windows key was still held down. The text is on the "
           "clipboard; paste it there by hand."_s
        << 0;
    QTest::newRow("text not fetched")
        << u"Outlook"_s << inboxTitle << true << false << 0 << int(SendOutcome::NotFetched) << inboxTitle << 4
        << u"The text was not pasted: the window \"Inbox - Outlook\" did not take it from the clipboard. The text is "
           "on the clipboard; paste it there by hand."_s
        << 0;
    QTest::newRow("attachments not fetched")
        << u"Outlook"_s << inboxTitle << true << false << 1 << int(SendOutcome::AttachmentsNotFetched) << inboxTitle
        << 8
        << u"The attachments were not pasted: the window \"Inbox - Outlook\" did not take them from the clipboard. "
           "They are on the clipboard; paste them there by hand."_s
        << 0;
}

void TestSend::outcomes()
{
    QFETCH(QString, target);
    QFETCH(QString, title);
    QFETCH(bool, activates);
    QFETCH(bool, modifiersHeld);
    QFETCH(int, fetches);
    QFETCH(int, result);
    QFETCH(QString, windowTitle);
    QFETCH(int, keyEvents);
    QFETCH(QString, message);
    QFETCH(int, cameFrom);
    fake->windows.window(inbox).title = title;
    const WindowHandle chat = fake->windows.addWindow(u"Chat"_s);
    fake->windows.activationWorks = activates;
    fake->keyboard.modifiersHeld = modifiersHeld;
    fake->clipboard.fetchesLeft = fetches;
    const QString file = makeFile(u"a.pdf"_s);
    RecordedQuestions questions;
    const TokenExpander journaledExpand = [this](const QString& text) {
        fake->journal.append(u"expand"_s);
        return text;
    };
    const WindowHandle cameFromWindow = cameFrom == 1 ? chat : cameFrom == 2 ? WindowHandle(999) : WindowHandle(0);
    const SendOutcome outcome = SendShownMessage(fake->platform, {target, true, true, cameFromWindow},
                                                 {u"Text"_s, {{file, true}}}, questions, journaledExpand);
    QCOMPARE(int(outcome.result), result);
    QCOMPARE(outcome.target, target);
    QCOMPARE(outcome.windowTitle, windowTitle);
    QCOMPARE(fake->keyboard.events.size(), keyEvents);
    // The window is looked for first; the attachment question comes before the expansion,
    // and only when there is a window to send to.
    if (outcome.windowTitle.isEmpty()) {
        QVERIFY(questions.asked.isEmpty());
        QVERIFY(!fake->journal.contains(u"expand"_s));
    } else {
        if (target == u"Outlook"_s) {
            QCOMPARE(questions.asked, QStringList{u"attach "_s + file});
            QCOMPARE(outcome.attachments, QStringList{file});
        } else {
            QCOMPARE(questions.asked, QStringList{u"not for target"_s});
        }
        QCOMPARE(fake->journal.mid(0, 2), (QStringList{u"enumerate"_s, u"expand"_s}));
    }
    QCOMPARE(SendOutcomeText(outcome), message);
}

void TestSend::clipboardBusyStopsWithItsError()
{
    // Another program keeps the clipboard: the send stops where it is, with the error box.
    fake->clipboard.busy = true;
    context->text = u"Text"_s;
    send();
    QCOMPARE(ui->texts(u"error"_s), QStringList{u"Cannot open clipboard"_s});
    QVERIFY(ui->texts(u"message"_s).isEmpty());
    QVERIFY(fake->keyboard.events.isEmpty());
}

void TestSend::modifierHeldStopsBeforePaste()
{
    // A Shift, Ctrl or Alt still held would turn Ctrl+V into another command.
    fake->keyboard.modifiersHeld = true;
    context->text = u"Text"_s;
    send();
    QCOMPARE(ui->texts(u"message"_s),
             QStringList{u"The text was not pasted: a Shift, Ctrl, Alt or Windows key was still held down. The text "
                         "is on the clipboard; paste it there by hand."_s});
    QVERIFY(fake->keyboard.events.isEmpty());
    QCOMPARE(fake->journal.filter(u"wait"_s), (QStringList{u"wait active %1"_s.arg(inbox), u"wait modifiers"_s}));
    // The text stays on the clipboard: the earlier content is not put back over it.
    QCOMPARE(fake->clipboard.history, QStringList{u"Text"_s});
    QCOMPARE(fake->clipboard.content, u"Text"_s);
}

void TestSend::secondSendWhileOneRunsIsIgnored_data()
{
    QTest::addColumn<QString>("during");
    QTest::newRow("free-text prompt") << u"prompt"_s;
    QTest::newRow("wait for the paste's read") << u"read"_s;
    QTest::newRow("outcome box") << u"outcome"_s;
}

void TestSend::secondSendWhileOneRunsIsIgnored()
{
    // The send key pressed again, or a --send arriving, while the first send waits.
    QFETCH(QString, during);
    SendCommand command;
    Options options(OptionsFilePath());
    bool pressedAgain = false;
    std::optional<bool> secondRan;
    const auto sendAgain = [&] {
        if (!std::exchange(pressedAgain, true))
            secondRan = command.run(*context, fake->platform, *ui, options, expand, context->toSend);
    };
    context->text = u"Dear ^^INPUT:Name||^^"_s;
    ui->inputAnswers = {u"Ann"_s};
    if (during == u"prompt"_s) {
        ui->whileShown = [&](const ScriptedInteraction::Shown&) { sendAgain(); };
    } else if (during == u"read"_s) {
        fake->clipboard.duringReadWait = sendAgain;
    } else {
        // The paste is not fetched: the outcome box opens after the prompt.
        fake->clipboard.readerPresent = false;
        fake->clipboard.duringReadWait
            = [&] { ui->whileShown = [&](const ScriptedInteraction::Shown&) { sendAgain(); }; };
    }
    QVERIFY(command.run(*context, fake->platform, *ui, options, expand, context->toSend));
    QCOMPARE(secondRan, std::optional<bool>(false));
    QVERIFY(!command.running());
    // One Ctrl+V, of the first send's text, and one expansion.
    QCOMPARE(keyJournal().size(), 4);
    QCOMPARE(fake->clipboard.history.value(0), u"Dear Ann"_s);
    QCOMPARE(expanded.size(), 1);

    // Once the first send is done, the next one runs.
    ui->whileShown = nullptr;
    fake->clipboard.duringReadWait = nullptr;
    fake->clipboard.readerPresent = true;
    ui->inputAnswers = {u"Cy"_s};
    ui->shown.clear();
    QVERIFY(command.run(*context, fake->platform, *ui, options, expand, context->toSend));
    QCOMPARE(keyJournal().size(), 8);
    QVERIFY(fake->clipboard.history.contains(u"Dear Cy"_s));
}

QTEST_GUILESS_MAIN(TestSend)
#include "tst_send.moc"
