// Editing, deleting and moving while another program changes the same Messages, offscreen:
// the other program writes through its own statements on the same database file.

#include "mainwindowfixture.h"

#include "app/faqtree.h"
#include "dialogs/ffaqaddedit.h"
#include "util/errors.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QString Changed
    = u"Someone else has changed this message since you opened it, so your changes have not been saved.\n\n"
      "Reload shows the message as it is stored now; your changes here are dropped.\n"
      "Keep Editing keeps your changes here; saving them then replaces the other change."_s;
const QString Deleted
    = u"Someone else has deleted this message since you opened it, so your changes have not been saved.\n\n"
      "Save as New Message stores it as you see it here, with its keywords and attachments, as a new "
      "message.\n"
      "Cancel goes back to editing without saving."_s;

struct Conflicts : MainWindowFixture {
    TfrmMain& start()
    {
        create().show();
        if (!QTest::qWaitForWindowActive(window.get()))
            qFatal("main window not shown");
        return *window;
    }
    TfrmAddEditFAQ& dialog() const { return window->addEditDialog(); }
    // Edit on the Message shown, as it was read when it was shown.
    TfrmAddEditFAQ& edit()
    {
        ui.clear();
        child<QAction>(*window, "actEdit")->trigger();
        return dialog();
    }
    QString typedText() const { return child<QPlainTextEdit>(dialog(), "dbmemText")->toPlainText(); }
    void typeText(const QString& text) const { child<QPlainTextEdit>(dialog(), "dbmemText")->setPlainText(text); }
    void save() const { child<QPushButton>(dialog(), "btnSave")->click(); }
    // The other program's change.
    void changeText(int id, const QString& text) const
    {
        db.run(u"update FAQ set Text = ? where ID = ?"_s, {text, id});
    }
    QString stored(const QString& sql, const QVariantList& values) const
    {
        QSqlQuery row = db.run(sql, values);
        return row.next() ? row.value(0).toString() : u"<none>"_s;
    }
    QTreeWidgetItem* node(const QString& label) const
    {
        const auto found
            = child<QTreeWidget>(*window, "tvFAQs")->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
};

} // namespace

class TestEditConflicts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void editOpensOnTheStoredMessage();
    void saveAfterAnotherProgram_data();
    void saveAfterAnotherProgram();
    void newMessageUnderADeletedGroup();
    void deleteAndMoveAfterAnotherProgram_data();
    void deleteAndMoveAfterAnotherProgram();
};

void TestEditConflicts::editOpensOnTheStoredMessage()
{
    Conflicts c;
    const int id = c.db.addMessage(u"A"_s, u"a"_s, u"first"_s);
    c.start();
    c.window->ShowFAQByID(id);
    c.changeText(id, u"saved elsewhere"_s);
    c.edit();
    QCOMPARE(c.typedText(), u"saved elsewhere"_s);
    c.typeText(u"mine"_s);
    c.save();
    QVERIFY(!c.dialog().isVisible());
    QCOMPARE(c.stored(u"select Text from FAQ where ID = ?"_s, {id}), u"mine"_s);

    // Deleted after it was shown: Edit says so and the tree loses it.
    c.db.deleteMessage(id);
    QVERIFY(c.node(u"A"_s));
    c.edit();
    QCOMPARE(c.ui.texts(u"message"_s), QStringList{u"This Message has been deleted, so it can not be edited."_s});
    QVERIFY(!c.dialog().isVisible());
    QVERIFY(!c.node(u"A"_s));
}

void TestEditConflicts::saveAfterAnotherProgram_data()
{
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("shownAfterChoice");
    // After a second Save where the dialog stayed open: the Message's stored text, or the
    // text of the Message with its Hotword.
    QTest::addColumn<QString>("storedText");
    QTest::newRow("changed, Reload") << false << 0 << u"theirs"_s << u"theirs"_s;
    QTest::newRow("changed, Keep Editing") << false << 1 << u"mine"_s << u"mine"_s;
    QTest::newRow("deleted, Save as New Message") << true << 0 << QString() << u"mine"_s;
    QTest::newRow("deleted, Cancel") << true << 1 << u"mine"_s << u"<none>"_s;
}

void TestEditConflicts::saveAfterAnotherProgram()
{
    QFETCH(bool, deleted);
    QFETCH(int, choice);
    QFETCH(QString, shownAfterChoice);
    QFETCH(QString, storedText);
    Conflicts c;
    const int group = c.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int id = c.db.addMessage(u"A"_s, u"a"_s, u"original"_s, group);
    c.db.addKeyword(id, u"kept"_s);
    c.start();
    c.window->ShowFAQByID(id);
    c.edit();
    c.typeText(u"mine"_s);
    if (deleted)
        c.db.deleteMessage(id);
    else
        c.changeText(id, u"theirs"_s);

    c.ui.choiceAnswers = {choice};
    c.save();
    QCOMPARE(c.ui.texts(u"choose"_s), QStringList{deleted ? Deleted : Changed});
    QCOMPARE(c.ui.shown.front().caption, deleted ? u"&Save as New Message|Cancel"_s : u"&Reload|&Keep Editing"_s);
    QCOMPARE(c.dialog().isVisible(), !shownAfterChoice.isEmpty());
    if (c.dialog().isVisible()) {
        QCOMPARE(c.typedText(), shownAfterChoice);
        if (deleted)
            c.ui.choiceAnswers = {1};
        c.save();
        QCOMPARE(c.dialog().isVisible(), deleted);
    }
    QCOMPARE(c.stored(u"select Text from FAQ where Hotword = ?"_s, {u"a"_s}), storedText);
    if (deleted && choice == 0) {
        // The new Message stands where the old one stood, with its keyword.
        QCOMPARE(c.stored(u"select GroupID from FAQ where Hotword = ?"_s, {u"a"_s}).toInt(), group);
        QCOMPARE(c.stored(u"select count(*) from FAQKeywords k join FAQ f on f.ID = k.FAQID where f.Hotword = ?"_s,
                          {u"a"_s}),
                 u"1"_s);
    }
}

void TestEditConflicts::newMessageUnderADeletedGroup()
{
    Conflicts c;
    const int group = c.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    TfrmMain& w = c.start();
    child<QTreeWidget>(w, "tvFAQs")->setCurrentItem(c.node(u"Group"_s));
    child<QAction>(w, "actNew")->trigger();
    child<QLineEdit>(c.dialog(), "dbtxtHotWord")->setText(u"new"_s);
    child<QPlainTextEdit>(c.dialog(), "dbtxtShortDescription")->setPlainText(u"New"_s);
    c.typeText(u"n"_s);
    c.db.deleteMessage(group);
    c.ui.clear();
    c.ui.choiceAnswers = {0};
    c.save();
    QCOMPARE(c.ui.texts(u"choose"_s),
             QStringList{u"Someone else has deleted the message that this new message was to be placed in, so it has "
                         "not been saved.\n\nSave at Top Level stores it at the top level of the tree.\nCancel goes "
                         "back to editing without saving."_s});
    QVERIFY(!c.dialog().isVisible());
    QCOMPARE(c.stored(u"select GroupID from FAQ where Hotword = ?"_s, {u"new"_s}), u"0"_s);
    QVERIFY(c.node(u"New"_s));
}

void TestEditConflicts::deleteAndMoveAfterAnotherProgram_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("shownText");
    QTest::addColumn<QString>("childLabel");
    QTest::newRow("delete, child added")
        << u"add child"_s << u"delete"_s
        << u"You cannot delete messages that contain other messages. Please delete all messages contained in "
           "\"Leaf\" before deleting it."_s
        << u"Child"_s;
    QTest::newRow("delete, deleted") << u"delete"_s << u"delete"_s
                                     << u"\"Leaf\" has already been deleted by someone else."_s << QString();
    QTest::newRow("move, deleted") << u"delete"_s << u"move"_s
                                   << u"This Message has been deleted by someone else, so it can not be moved."_s
                                   << QString();
}

void TestEditConflicts::deleteAndMoveAfterAnotherProgram()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, command);
    QFETCH(QString, shownText);
    QFETCH(QString, childLabel);
    Conflicts c;
    c.db.addMessage(u"Target"_s, u"target"_s, u"t"_s);
    const int leaf = c.db.addMessage(u"Leaf"_s, u"leaf"_s, u"l"_s);
    TfrmMain& w = c.start();
    child<QTreeWidget>(w, "tvFAQs")->setCurrentItem(c.node(u"Leaf"_s));
    QCOMPARE(c.node(u"Leaf"_s)->childCount(), 0);
    if (meanwhile == u"add child"_s)
        c.db.addMessage(u"Child"_s, u"child"_s, u"c"_s, leaf);
    else
        c.db.deleteMessage(leaf);

    c.ui.clear();
    if (command == u"delete"_s) {
        c.ui.confirmAnswers = {true};
        child<QAction>(w, "actDelete")->trigger();
    } else {
        c.ui.confirmAnswers = {true};
        const QPoint below(5, child<QTreeWidget>(w, "tvFAQs")->viewport()->height() - 2);
        // As the drop runs in the program: through the guard, which shows the error.
        Guarded(c.ui, [&] { w.faqTree().tvFAQsDragDrop(below); });
    }
    QCOMPARE(c.ui.shown.back().text, shownText);
    // The tree shows what is stored now.
    QTreeWidgetItem* node = c.node(u"Leaf"_s);
    QCOMPARE(node != nullptr, !childLabel.isEmpty());
    if (node) {
        QVERIFY(node->childCount() > 0);
        QCOMPARE(c.stored(u"select count(*) from FAQ where ID = ?"_s, {leaf}), u"1"_s);
    }
}

QTEST_MAIN(TestEditConflicts)
#include "tst_editconflicts.moc"
