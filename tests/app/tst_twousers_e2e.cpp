// Two copies of the built program, as two users with folders of their own, on one PostgreSQL
// database (the ODBC data source QuillBay of with-postgres.sh), under Xvfb with openbox and
// driven with real keys: both edit the same Message and save, and the second save is refused;
// an Edit after another user's save opens on the saved text.
#include "desktoptools.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The visible windows of the process whose title matches the pattern (xdotool's search takes
// a process and a name as alternatives, not together).
QStringList WindowsTitled(qint64 pid, const QString& pattern)
{
    const QRegularExpression title(pattern);
    QStringList windows;
    for (const QString& window : VisibleWindows(pid)) {
        if (title.match(Xdotool({u"getwindowname"_s, window})).hasMatch())
            windows << window;
    }
    return windows;
}

// One user's copy of the program, in a folder of its own, on the shared data source.
struct User {
    explicit User(const QString& userName)
        : folder(QStringLiteral(QB_PROGRAM))
        , name(userName)
    { }

    void start()
    {
        QFile options(folder.filePath(u"options.ini"_s));
        if (!options.open(QIODevice::WriteOnly) || options.write("[Options]\nTarget=Notepad\n") < 0)
            qFatal("cannot write options.ini");
        options.close();
        QProcessEnvironment environment = folder.environment();
        environment.insert(u"ODBCINI"_s, qEnvironmentVariable("ODBCINI"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(folder.program(), {});
        if (!program.waitForStarted()
            || !WaitFor([&] { return !(mainWindow = titled(u"^Tolvane Quillbay$"_s).value(0)).isEmpty(); }, 20000))
            qFatal("%s: the program did not show its main window", qPrintable(name));
    }
    void stop()
    {
        program.kill();
        program.waitForFinished();
    }
    // Shows the Message through a Hotword search.
    void show(const QString& hotword)
    {
        ActivateWindow(mainWindow);
        TypeText(hotword);
        TypeKeys({u"Return"_s});
    }
    // Opens the add/edit dialog on the shown Message and puts the focus in its text.
    QString edit()
    {
        ActivateWindow(mainWindow);
        TypeKeys({u"alt+e"_s});
        if (!WaitFor([&] { return !(dialog = titled(u"^Add/Edit Message$"_s).value(0)).isEmpty(); }, 10000))
            qFatal("%s: the add/edit dialog did not show", qPrintable(name));
        ActivateWindow(dialog);
        // From the Hotword past the short description to the Message Text.
        TypeKeys({u"alt+h"_s, u"Tab"_s, u"Tab"_s});
        return dialog;
    }
    void replaceText(const QString& text)
    {
        ActivateWindow(dialog);
        TypeKeys({u"ctrl+a"_s, u"Delete"_s});
        TypeText(text);
    }
    void save()
    {
        ActivateWindow(dialog);
        TypeKeys({u"alt+s"_s});
    }
    QStringList titled(const QString& pattern) const { return WindowsTitled(program.processId(), pattern); }
    bool dialogShown() const { return !titled(u"^Add/Edit Message$"_s).isEmpty(); }
    // A box of the program over its windows: captioned like the main window, but another one.
    QString box() const
    {
        for (const QString& window : titled(u"^(Tolvane Quillbay|Confirm)$"_s)) {
            if (window != mainWindow)
                return window;
        }
        return {};
    }

    ProgramFolder folder;
    QString name;
    QProcess program;
    QString mainWindow;
    QString dialog;
};

} // namespace

class TestTwoUsersEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void secondSaveOfOneMessageIsRefused();

private:
    QString storedText();

    std::unique_ptr<User> anna;
    std::unique_ptr<User> bert;
    int id = 0;
};

void TestTwoUsersEndToEnd::initTestCase()
{
    QVERIFY2(!qEnvironmentVariable("ODBCINI").isEmpty(), "run through with-postgres.sh");
    auto db = QSqlDatabase::addDatabase(u"QODBC"_s, u"check"_s);
    db.setDatabaseName(u"QuillBay"_s);
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QSqlQuery insert(db);
    QVERIFY(insert.exec(u"insert into FAQ (ShortName, Hotword, Text, GroupID) values "
                        "('Shared answer', 'shared', 'original', 0)"_s));
    QSqlQuery read(db);
    QVERIFY(read.exec(u"select ID from FAQ where Hotword = 'shared'"_s) && read.next());
    id = read.value(0).toInt();

    anna = std::make_unique<User>(u"Anna"_s);
    bert = std::make_unique<User>(u"Bert"_s);
    anna->start();
    bert->start();
}

void TestTwoUsersEndToEnd::cleanupTestCase()
{
    for (User* user : {anna.get(), bert.get()}) {
        if (user)
            user->stop();
    }
    QSqlDatabase::removeDatabase(u"check"_s);
}

QString TestTwoUsersEndToEnd::storedText()
{
    QSqlQuery query(QSqlDatabase::database(u"check"_s));
    if (!query.exec(u"select Text from FAQ where ID = %1"_s.arg(id)) || !query.next())
        return u"<none>"_s;
    return query.value(0).toString();
}

void TestTwoUsersEndToEnd::secondSaveOfOneMessageIsRefused()
{
    // Both show the Message and open it for editing before either saves.
    anna->show(u"shared"_s);
    bert->show(u"shared"_s);
    anna->edit();
    anna->replaceText(u"Anna's answer"_s);
    bert->edit();
    bert->replaceText(u"Bert's answer"_s);

    anna->save();
    QTRY_COMPARE_WITH_TIMEOUT(storedText(), u"Anna's answer"_s, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!anna->dialogShown(), 10000);

    // Bert's save is refused: Anna's text stays, and Bert's dialog stays open.
    bert->save();
    QString box;
    QTRY_VERIFY_WITH_TIMEOUT(!(box = bert->box()).isEmpty(), 10000);
    QCOMPARE(storedText(), u"Anna's answer"_s);
    QVERIFY(bert->dialogShown());
    // Esc keeps editing; then the dialog is closed, its changes discarded.
    ActivateWindow(box);
    TypeKeys({u"Escape"_s});
    QTRY_VERIFY_WITH_TIMEOUT(bert->box().isEmpty(), 10000);
    ActivateWindow(bert->dialog);
    TypeKeys({u"Escape"_s});
    QTRY_VERIFY_WITH_TIMEOUT(!(box = bert->box()).isEmpty(), 10000);
    ActivateWindow(box);
    TypeKeys({u"alt+y"_s});
    QTRY_VERIFY_WITH_TIMEOUT(!bert->dialogShown(), 10000);
    QCOMPARE(storedText(), u"Anna's answer"_s);

    // Anna saves again; Bert, who still shows the Message as he read it, edits it: his
    // dialog opens on Anna's last save, and his save of it goes through.
    anna->edit();
    anna->replaceText(u"Anna's second answer"_s);
    anna->save();
    QTRY_COMPARE_WITH_TIMEOUT(storedText(), u"Anna's second answer"_s, 10000);
    const QString dialog = bert->edit();
    QCOMPARE(CopyWindowText(dialog), u"Anna's second answer"_s);
    TypeKeys({u"ctrl+End"_s});
    TypeText(u" and Bert's"_s);
    bert->save();
    QTRY_COMPARE_WITH_TIMEOUT(storedText(), u"Anna's second answer and Bert's"_s, 10000);
    QVERIFY(bert->box().isEmpty());
}

QTEST_MAIN(TestTwoUsersEndToEnd)
#include "tst_twousers_e2e.moc"
