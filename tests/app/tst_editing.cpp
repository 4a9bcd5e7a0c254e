// Adding, editing, deleting and moving Messages from the main window, offscreen, with the
// scripted boxes and a database of its own.

#include "childbyname.h"
#include "windowplacement.h"
#include "mainwindowfixture.h"

#include "app/faqnodes.h"
#include "app/faqtree.h"
#include "dialogs/datanavigator.h"
#include "dialogs/ffaqaddedit.h"
#include "dialogs/fprompttextentry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

const QString Incomplete = u"You must enter a hotword, short description and some text."_s;
const QString Duplicate = u"An error occurred while trying to save your Message.  Please ensure the HotWord "
                          "you are using is unique and then try again."_s;

// The controls that Tab visits, in order, from the first one round to it again.
QStringList TabChain(QWidget& window, QWidget* first)
{
    QStringList names;
    QWidget* widget = first;
    do {
        const bool takesTab = (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !widget->focusProxy();
        if (takesTab && widget->window() == &window && widget->isVisibleTo(&window) && widget->isEnabled())
            names << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != first && names.size() < 50);
    return names;
}

// The accelerator letters of the window's labels, buttons and pages, with those that repeat.
QStringList RepeatedAccelerators(const QWidget& window)
{
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        texts << button->text();
    for (const QTabWidget* pages : window.findChildren<QTabWidget*>()) {
        for (int i = 0; i < pages->count(); ++i)
            texts << pages->tabText(i);
    }
    static const QRegularExpression accelerator(u"&([^&])"_s);
    QStringList seen, repeated;
    for (QString text : std::as_const(texts)) {
        text.replace(u"&&"_s, QString());
        const auto match = accelerator.match(text);
        if (!match.hasMatch())
            continue;
        const QString letter = match.captured(1).toLower();
        (seen.contains(letter) ? repeated : seen) << letter;
    }
    return repeated;
}

QStringList MenuTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? u"-"_s : action->text());
    return texts;
}

} // namespace

struct Editing : MainWindowFixture {
    TfrmAddEditFAQ& dialog() const { return window->addEditDialog(); }

    TfrmMain& start()
    {
        create().show();
        if (!QTest::qWaitForWindowActive(window.get()))
            qFatal("main window not shown");
        return *window;
    }
    QTreeWidgetItem* node(const QString& label) const
    {
        const auto found
            = child<QTreeWidget>(*window, "tvFAQs")->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    // The edit dialog on a shown Message, with the boxes so far forgotten.
    TfrmAddEditFAQ& editMessage(int id)
    {
        ui.clear();
        window->ShowFAQByID(id);
        child<QAction>(*window, "actEdit")->trigger();
        return dialog();
    }
    void select(const QString& label) const { child<QTreeWidget>(*window, "tvFAQs")->setCurrentItem(node(label)); }
    void type(const QString& hotword, const QString& shortName, const QString& text) const
    {
        child<QLineEdit>(dialog(), "dbtxtHotWord")->setText(hotword);
        child<QPlainTextEdit>(dialog(), "dbtxtShortDescription")->setPlainText(shortName);
        child<QPlainTextEdit>(dialog(), "dbmemText")->setPlainText(text);
    }
    QString stored(int id, const QString& column) const
    {
        QSqlQuery row = db.run(u"select "_s + column + u" from FAQ where ID = ?"_s, {id});
        return row.next() ? row.value(0).toString() : u"<none>"_s;
    }
    int count(const QString& sql, const QVariantList& values = {}) const
    {
        QSqlQuery row = db.run(sql, values);
        return row.next() ? row.value(0).toInt() : -1;
    }
    // The cell editor's text typed into a grid cell, as a user would.
    static void typeCell(QTableView* grid, int row, int column, const QString& text)
    {
        grid->model()->setData(grid->model()->index(row, column), text);
    }
};

class TestEditing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newMessageGoesUnderSelection_data();
    void newMessageGoesUnderSelection();
    void saveRefusals_data();
    void saveRefusals();
    void saveWritesThePinnedMessage();
    void cancelAndClose();
    void tokens_data();
    void tokens();
    void tokenMenusInOrder();
    void gridRowsAreStored();
    void attachmentPicker_data();
    void attachmentPicker();
    void deleteCommand_data();
    void deleteCommand();
    void drops_data();
    void drops();
    void tabOrder_data();
    void tabOrder();
    void escapeAsksBeforeDiscarding_data();
    void escapeAsksBeforeDiscarding();
    void pickedFileGoesIntoTheNewRow_data();
    void pickedFileGoesIntoTheNewRow();
    void shortDescriptionHoldsFifty_data();
    void shortDescriptionHoldsFifty();
    void opensCentredOnTheScreen();
    void acceleratorsUniquePerWindow_data();
    void acceleratorsUniquePerWindow();
    void promptDialogStaysWhole();
};

void TestEditing::newMessageGoesUnderSelection_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("expectedGroup");
    QTest::newRow("nothing selected") << QString() << u"0"_s;
    QTest::newRow("group selected") << u"Group"_s << u"group"_s;
    QTest::newRow("placeholder selected") << u"Searching..."_s << u"0"_s;
}

void TestEditing::newMessageGoesUnderSelection()
{
    QFETCH(QString, selected);
    QFETCH(QString, expectedGroup);
    Editing e;
    const int group = e.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    e.db.addMessage(u"Child"_s, u"child"_s, u"c"_s, group);
    TfrmMain& w = e.start();
    e.ui.clear();
    if (!selected.isEmpty()) {
        // Selected without scrolling to it, which would expand its parent and replace it.
        QTreeWidgetItem* item = selected == u"Searching..."_s ? e.node(u"Group"_s)->child(0) : e.node(selected);
        item->setSelected(true);
    }
    e.ui.clear();
    child<QAction>(w, "actNew")->trigger();
    TfrmAddEditFAQ& d = e.dialog();
    QCOMPARE(d.focusWidget(), child<QLineEdit>(d, "dbtxtHotWord"));
    QCOMPARE(child<QLabel>(d, "lblKeywordsHeading")->text(), u"&Keywords (optional)"_s);
    QCOMPARE(child<QLabel>(d, "lblAttachmentsHeading")->text(), u"&Attachments (optional)"_s);

    // Keywords and attachments given to the new Message are stored with it.
    e.type(u"fresh"_s, u"Fresh one"_s, u"body"_s);
    child<DataNavigator>(d, "dbnKeywords")->btnInsert->click();
    Editing::typeCell(child<QTableView>(d, "dbgKeywords"), 0, 0, u"kfresh"_s);
    child<DataNavigator>(d, "dbNavAttachments")->btnInsert->click();
    Editing::typeCell(child<QTableView>(d, "dbgAttachments"), 0, 0, u"/srv/fresh.doc"_s);
    QCOMPARE(e.count(u"select count(*) from FAQKeywords"_s), 0);
    child<QPushButton>(d, "btnSave")->click();
    QVERIFY(!d.isVisible());
    const int id = e.count(u"select ID from FAQ where Hotword = 'fresh'"_s);
    const int expected = expectedGroup == u"0"_s ? 0 : group;
    QCOMPARE(e.stored(id, u"GroupID"_s).toInt(), expected);
    QCOMPARE(e.count(u"select count(*) from FAQKeywords where FAQID = ? and Keyword = 'kfresh'"_s, {id}), 1);
    QCOMPARE(e.count(u"select count(*) from FAQAttachments where FAQID = ? and Filename = '/srv/fresh.doc'"_s, {id}),
             1);
    // The tree is rebuilt and the new Message is shown through the Hotword search.
    QCOMPARE(w.ShownMessageID(), id);
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Fresh one"_s);
    if (expected == 0)
        QVERIFY(e.node(u"Fresh one"_s));
    QCOMPARE(e.ui.shown.size(), 0);
}

void TestEditing::saveRefusals_data()
{
    QTest::addColumn<QString>("hotword");
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("shownText");
    QTest::newRow("empty hotword") << QString() << u"d"_s << u"t"_s << u"message"_s << Incomplete;
    QTest::newRow("empty text") << u"h"_s << u"d"_s << QString() << u"message"_s << Incomplete;
    QTest::newRow("empty description") << u"h"_s << QString() << u"t"_s << u"message"_s << Incomplete;
    QTest::newRow("duplicate hotword any case")
        << u"TAKEN"_s << u"d"_s << u"t"_s << u"warning"_s
        << Duplicate + u"\n\nThe HotWord \"TAKEN\" already belongs to the message \"Taken\"."_s;
    QTest::newRow("duplicate of a nameless message")
        << u"nameless"_s << u"d"_s << u"t"_s << u"warning"_s
        << Duplicate + u"\n\nThe HotWord \"nameless\" already belongs to another message."_s;
    QTest::newRow("hotword of 51") << QString(51, u'x') << u"d"_s << u"t"_s << u"message"_s
                                   << u"The HotWord may have at most 50 characters; this one has 51. Please "
                                      "shorten it and try again."_s;
    QTest::newRow("description of one blank is text") << u"h"_s << u" "_s << u"t"_s << QString() << QString();
}

void TestEditing::saveRefusals()
{
    QFETCH(QString, hotword);
    QFETCH(QString, shortName);
    QFETCH(QString, text);
    QFETCH(QString, kind);
    QFETCH(QString, shownText);
    Editing e;
    e.db.addMessage(u"Taken"_s, u"taken"_s, u"x"_s);
    e.db.addMessage(QString(), u"nameless"_s, u"x"_s);
    TfrmMain& w = e.start();
    e.ui.clear();
    child<QAction>(w, "actNew")->trigger();
    e.type(hotword, shortName, text);
    child<QPlainTextEdit>(e.dialog(), "dbmemInternalNotes")->setPlainText(u"notes"_s);
    child<QPushButton>(e.dialog(), "btnSave")->click();
    if (kind.isEmpty()) {
        QVERIFY(!e.dialog().isVisible());
        QCOMPARE(e.count(u"select count(*) from FAQ where ShortName = ' '"_s), 1);
        return;
    }
    QCOMPARE(e.ui.texts(kind), QStringList{shownText});
    QCOMPARE(e.ui.shown.size(), 1);
    // Refused: the dialog stays open with everything typed, nothing stored.
    QVERIFY(e.dialog().isVisible());
    QCOMPARE(child<QLineEdit>(e.dialog(), "dbtxtHotWord")->text(), hotword);
    QCOMPARE(child<QPlainTextEdit>(e.dialog(), "dbmemInternalNotes")->toPlainText(), u"notes"_s);
    QCOMPARE(e.count(u"select count(*) from FAQ"_s), 2);
    // A second Save with a good Hotword succeeds.
    e.type(u"other"_s, u"d"_s, u"t"_s);
    child<QPushButton>(e.dialog(), "btnSave")->click();
    QVERIFY(!e.dialog().isVisible());
    QCOMPARE(e.count(u"select count(*) from FAQ where Hotword = 'other' and Notes = 'notes'"_s), 1);
}

void TestEditing::saveWritesThePinnedMessage()
{
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"text of a"_s);
    const int b = e.db.addMessage(u"B"_s, u"b"_s, u"text of b"_s);
    e.db.addKeyword(a, u"ka"_s);
    e.db.addKeyword(b, u"kb"_s);
    TfrmMain& w = e.start();
    TfrmAddEditFAQ& d = e.editMessage(a);
    QCOMPARE(child<QPlainTextEdit>(d, "dbmemText")->toPlainText(), u"text of a"_s);
    QCOMPARE(child<QLabel>(d, "lblKeywordsHeading")->text(), u"Keywords"_s);
    QCOMPARE(child<QLabel>(d, "lblAttachmentsHeading")->text(), u"&Attachments"_s);
    child<QPlainTextEdit>(d, "dbmemText")->setPlainText(u"changed a"_s);

    // The main window shows another Message; New and Edit do nothing meanwhile.
    w.ShowFAQByID(b);
    child<QAction>(w, "actEdit")->trigger();
    child<QAction>(w, "actNew")->trigger();
    QCOMPARE(child<QPlainTextEdit>(d, "dbmemText")->toPlainText(), u"changed a"_s);
    QCOMPARE(child<QTableView>(d, "dbgKeywords")->model()->index(0, 0).data().toString(), u"ka"_s);
    child<QPushButton>(d, "btnSave")->click();
    QCOMPARE(e.stored(a, u"Text"_s), u"changed a"_s);
    QCOMPARE(e.stored(b, u"Text"_s), u"text of b"_s);
    QCOMPARE(w.ShownMessageID(), a);
    QCOMPARE(e.ui.shown.size(), 0);
}

void TestEditing::cancelAndClose()
{
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"stored"_s);
    TfrmMain& w = e.start();
    e.ui.clear();
    TfrmAddEditFAQ& d = e.dialog();

    // Cancel after New creates nothing; Edit then has its grids back.
    child<QAction>(w, "actNew")->trigger();
    e.type(u"n"_s, u"n"_s, u"n"_s);
    child<QPushButton>(d, "btnCancel")->click();
    QVERIFY(!d.isVisible());
    QCOMPARE(e.count(u"select count(*) from FAQ"_s), 1);
    w.ShowFAQByID(a);
    child<QAction>(w, "actEdit")->trigger();
    QCOMPARE(child<QLabel>(d, "lblKeywordsHeading")->text(), u"Keywords"_s);
    QVERIFY(child<QTableView>(d, "dbgKeywords")->isEnabled()
            && child<DataNavigator>(d, "dbNavAttachments")->isEnabled());

    // The title bar asks before throwing typed text away; No keeps the dialog open.
    child<QPlainTextEdit>(d, "dbmemText")->setPlainText(u"typed"_s);
    e.ui.confirmAnswers = {false, true};
    d.close();
    QVERIFY(d.isVisible());
    d.close();
    QVERIFY(!d.isVisible());
    QCOMPARE(e.ui.texts(u"confirm"_s), QStringList(2, u"Discard the changes made to this message?"_s));
    QCOMPARE(e.stored(a, u"Text"_s), u"stored"_s);
    QCOMPARE(e.db.module->messageState(), DataSetState::Browse);

    // Untouched, it closes without asking; Cancel leaves the stored text.
    child<QAction>(w, "actEdit")->trigger();
    d.close();
    QVERIFY(!d.isVisible());
    child<QAction>(w, "actEdit")->trigger();
    child<QPlainTextEdit>(d, "dbmemText")->setPlainText(u"never saved"_s);
    child<QPushButton>(d, "btnCancel")->click();
    QCOMPARE(e.stored(a, u"Text"_s), u"stored"_s);
    QCOMPARE(e.ui.texts(u"confirm"_s).size(), 2);
}

void TestEditing::tokens_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("notesPage");
    QTest::addColumn<QString>("expected");
    // The text is "one two" with "two" selected, or the caret after "one " when nothing is.
    QTest::newRow("date replaces selection") << u"actTokenDate"_s << u"select"_s << false << u"one %DATE%"_s;
    QTest::newRow("date at caret") << u"actTokenDate"_s << QString() << false << u"one %DATE%two"_s;
    QTest::newRow("clipboard from notes page")
        << u"actTokenClipboard"_s << QString() << true << u"one %CLIPBOARD%two"_s;
    QTest::newRow("date and time") << u"actTokenDateTime"_s << QString() << false << u"one %DATETIME%two"_s;
    QTest::newRow("other message") << u"actTokenOtherFAQ"_s << u"abc"_s << false << u"one %INCLUDE:abc%two"_s;
    QTest::newRow("other message empty") << u"actTokenOtherFAQ"_s << u""_s << false << u"one two"_s;
    QTest::newRow("other message cancelled") << u"actTokenOtherFAQ"_s << u"<cancel>"_s << false << u"one two"_s;
    QTest::newRow("prompt") << u"actPromptForTextEntry"_s << u"Name|"_s << false << u"one ^^INPUT:Name||^^two"_s;
    QTest::newRow("prompt both empty") << u"actPromptForTextEntry"_s << u"|"_s << false << u"one ^^INPUT:||^^two"_s;
    QTest::newRow("prompt cancelled") << u"actPromptForTextEntry"_s << u"<cancel>"_s << false << u"one two"_s;
}

void TestEditing::tokens()
{
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(bool, notesPage);
    QFETCH(QString, expected);
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"one two"_s);
    e.start();
    TfrmAddEditFAQ& d = e.editMessage(a);
    QTextCursor cursor = child<QPlainTextEdit>(d, "dbmemText")->textCursor();
    cursor.setPosition(4);
    if (answer == u"select"_s)
        cursor.setPosition(7, QTextCursor::KeepAnchor);
    child<QPlainTextEdit>(d, "dbmemText")->setTextCursor(cursor);
    if (notesPage) {
        child<QTabWidget>(d, "pcNotes")->setCurrentWidget(child<QWidget>(d, "tsInternal"));
        child<QPlainTextEdit>(d, "dbmemInternalNotes")->setFocus();
    } else {
        child<QPushButton>(d, "btnInclude")->setFocus();
    }
    if (command == u"actTokenOtherFAQ"_s)
        e.ui.inputAnswers.push_back(answer == u"<cancel>"_s ? std::nullopt : std::optional<QString>(answer));
    if (command == u"actPromptForTextEntry"_s) {
        QTimer::singleShot(0, &d, [answer] {
            auto* prompt = qobject_cast<TfrmPromptForTextEntry*>(QApplication::activeModalWidget());
            QVERIFY(prompt);
            QCOMPARE(prompt->windowTitle(), u"Prompt For Entry of Free Text"_s);
            auto* txtPrompt = child<QLineEdit>(*prompt, "txtPrompt");
            auto* txtDefaultValue = child<QLineEdit>(*prompt, "txtDefaultValue");
            QVERIFY(txtPrompt->text().isEmpty() && txtDefaultValue->text().isEmpty());
            if (answer == u"<cancel>"_s) {
                txtPrompt->setText(u"typed then cancelled"_s);
                QTest::keyClick(prompt, Qt::Key_Escape);
                return;
            }
            txtPrompt->setText(answer.section(u'|', 0, 0));
            txtDefaultValue->setText(answer.section(u'|', 1));
            child<QPushButton>(*prompt, "btnOK")->click();
        });
    }
    d.findChild<QAction*>(command)->trigger();
    QCOMPARE(child<QPlainTextEdit>(d, "dbmemText")->toPlainText(), expected);
    QCOMPARE(child<QPlainTextEdit>(d, "dbmemInternalNotes")->toPlainText(), QString());
    // Typing goes on in the Message Text, after the token.
    if (expected != u"one two"_s) {
        QCOMPARE(d.focusWidget(), child<QPlainTextEdit>(d, "dbmemText"));
        QCOMPARE(child<QPlainTextEdit>(d, "dbmemText")->textCursor().position(),
                 expected.endsWith(u"two"_s) ? expected.size() - 3 : expected.size());
    }
    if (command == u"actTokenOtherFAQ"_s) {
        QCOMPARE(e.ui.shown.front().caption, u"HotWord for Other message to Include"_s);
        QCOMPARE(e.ui.shown.front().text, u"Please enter the HotWord for the message to include in this one"_s);
    }
    // Inserted tokens are saved only by Save.
    QCOMPARE(e.stored(a, u"Text"_s), u"one two"_s);
}

void TestEditing::tokenMenusInOrder()
{
    Editing e;
    e.start();
    e.ui.clear();
    TfrmAddEditFAQ& d = e.dialog();
    QCOMPARE(child<QPushButton>(d, "btnInclude")->text(), u"Replaceable Field"_s);
    QCOMPARE(child<QTabWidget>(d, "pcNotes")->currentWidget(), child<QWidget>(d, "tsMessage"));
    QCOMPARE(MenuTexts(child<QPushButton>(d, "btnInclude")->menu()),
             (QStringList{u"Other Message"_s, u"Clipboard"_s, u"Date"_s, u"Date && Time"_s, u"Prompt For Text Entry"_s,
                          u"-"_s, u"Help"_s}));
    QCOMPARE(MenuTexts(d.mnuInclude),
             (QStringList{u"&Copy"_s, u"Cu&t"_s, u"&Paste"_s, u"Select &All"_s, u"-"_s, u"Other FAQ"_s, u"Clipboard"_s,
                          u"Date"_s, u"Date && Time"_s, u"Prompt For Text Entry"_s, u"-"_s, u"Help"_s}));
    d.actHelp->trigger();
    QVERIFY(e.ui.texts(u"message"_s)
                .value(0)
                .startsWith(u"These items will be replaced when the message is actually used."_s));
}

void TestEditing::gridRowsAreStored()
{
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"t"_s);
    const int b = e.db.addMessage(u"B"_s, u"b"_s, u"t"_s);
    e.db.addKeyword(a, u"first"_s);
    e.db.addKeyword(b, u"other"_s);
    TfrmMain& w = e.start();
    TfrmAddEditFAQ& d = e.editMessage(a);
    // Focus changes, which end an untouched new row, happen in the active window.
    QApplication::setActiveWindow(&d);
    QVERIFY(d.isActiveWindow());
    QTableView* grid = child<QTableView>(d, "dbgKeywords");
    const auto keywords = [&] {
        QStringList list;
        QSqlQuery rows = e.db.run(u"select Keyword from FAQKeywords where FAQID = ? order by KeywordID"_s, {a});
        while (rows.next())
            list << rows.value(0).toString();
        return list;
    };

    // A new row is stored when the grid moves to another row; its cell holds what the column does.
    child<DataNavigator>(d, "dbnKeywords")->btnInsert->click();
    QVERIFY(child<DataNavigator>(d, "dbnKeywords")->btnPost->isEnabled());
    QVERIFY(grid->findChild<QLineEdit*>());
    QCOMPARE(grid->findChild<QLineEdit*>()->maxLength(), 50);
    QCOMPARE(grid->model()->rowCount(), 2);
    Editing::typeCell(grid, 1, 0, u"second"_s);
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QCOMPARE(keywords(), (QStringList{u"first"_s, u"second"_s}));
    // An edited row is stored by Post.
    Editing::typeCell(grid, 0, 0, u"renamed"_s);
    QCOMPARE(keywords().front(), u"first"_s);
    child<DataNavigator>(d, "dbnKeywords")->btnPost->click();
    QCOMPARE(keywords(), (QStringList{u"renamed"_s, u"second"_s}));
    // An untouched new row goes when the focus leaves the grid.
    grid->setFocus();
    child<DataNavigator>(d, "dbnKeywords")->btnInsert->click();
    QCOMPARE(grid->model()->rowCount(), 3);
    child<QLineEdit>(d, "dbtxtHotWord")->setFocus();
    QCOMPARE(grid->model()->rowCount(), 2);
    // Delete asks first; only Yes deletes.
    e.ui.confirmAnswers = {false, true};
    grid->setCurrentIndex(grid->model()->index(1, 0));
    child<DataNavigator>(d, "dbnKeywords")->btnDelete->click();
    QCOMPARE(keywords().size(), 2);
    child<DataNavigator>(d, "dbnKeywords")->btnDelete->click();
    QCOMPARE(keywords(), QStringList{u"renamed"_s});
    QCOMPARE(e.ui.texts(u"confirm"_s), QStringList(2, u"Delete record?"_s));
    // Cancel of the dialog keeps stored rows; the other Message's rows are untouched.
    child<QPushButton>(d, "btnCancel")->click();
    QCOMPARE(keywords(), QStringList{u"renamed"_s});
    QCOMPARE(e.count(u"select count(*) from FAQKeywords where FAQID = ?"_s, {b}), 1);

    // Attachments: the file picker fills the name, the list gives "True".
    QFile file(e.db.folder.filePath(u"price list.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    child<QAction>(w, "actEdit")->trigger();
    child<DataNavigator>(d, "dbNavAttachments")->btnInsert->click();
    QCOMPARE(child<QTableView>(d, "dbgAttachments")->model()->headerData(0, Qt::Horizontal).toString(), u"File Name"_s);
    QCOMPARE(child<QTableView>(d, "dbgAttachments")->model()->headerData(1, Qt::Horizontal).toString(),
             u"Prompt Before Attaching"_s);
    e.ui.fileAnswers.push_back(file.fileName());
    const auto picked = d.dbgAttachmentsEditButtonClick(QString());
    QCOMPARE(picked.value_or(QString()), file.fileName());
    Editing::typeCell(child<QTableView>(d, "dbgAttachments"), 0, 0, *picked);
    Editing::typeCell(child<QTableView>(d, "dbgAttachments"), 0, 1, u"True"_s);
    child<DataNavigator>(d, "dbNavAttachments")->btnPost->click();
    QSqlQuery row = e.db.run(u"select Filename, PromptToUse from FAQAttachments where FAQID = ?"_s, {a});
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), file.fileName());
    QVERIFY(row.value(1).toBool());
    QCOMPARE(child<QTableView>(d, "dbgAttachments")->model()->index(0, 1).data().toString(), u"True"_s);
    // Save of the dialog keeps what the grids stored; the panel counts the attachment.
    child<QPushButton>(d, "btnSave")->click();
    QCOMPARE(child<QLabel>(w, "lblAttachments")->text(), u"Attachments: 1"_s);
}

void TestEditing::attachmentPicker_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("startsInItsFolder");
    QTest::newRow("empty cell") << QString() << false;
    QTest::newRow("bare name") << u"notes.txt"_s << false;
    QTest::newRow("existing folder") << u"<tmp>/sub/gone.doc"_s << true;
    QTest::newRow("missing folder") << u"/no/such/folder/x.txt"_s << false;
}

void TestEditing::attachmentPicker()
{
    QFETCH(QString, cell);
    QFETCH(bool, startsInItsFolder);
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"t"_s);
    QVERIFY(QDir(e.db.folder.path()).mkdir(u"sub"_s));
    cell.replace(u"<tmp>"_s, e.db.folder.path());
    e.start();
    TfrmAddEditFAQ& d = e.editMessage(a);
    child<DataNavigator>(d, "dbNavAttachments")->btnInsert->click();
    e.ui.fileAnswers.push_back(std::nullopt);
    QVERIFY(!d.dbgAttachmentsEditButtonClick(cell));
    QCOMPARE(e.ui.shown.size(), 1);
    QCOMPARE(e.ui.shown.front().caption, startsInItsFolder ? e.db.folder.filePath(u"sub/"_s) : AppDir());
    QCOMPARE(e.ui.shown.front().text, u"Documents|*.txt;*.doc;*.htm;*.html|All Files|*.*"_s);
    // Off the file-name column the ellipsis does nothing.
    child<QTableView>(d, "dbgAttachments")
        ->setCurrentIndex(child<QTableView>(d, "dbgAttachments")->model()->index(0, 1));
    QVERIFY(!d.dbgAttachmentsEditButtonClick(cell));
    QCOMPARE(e.ui.shown.size(), 1);
}

void TestEditing::deleteCommand_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("shownText");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("nothing selected") << QString() << false << u"Please select a message to delete"_s << false;
    QTest::newRow("collapsed group") << u"Group"_s << false
                                     << u"You cannot delete messages that contain other messages. Please delete all "
                                        "messages contained in \"Group\" before deleting it."_s
                                     << false;
    QTest::newRow("leaf, No") << u"Leaf"_s << false
                              << u"Are you sure you want to delete \"Leaf\" ? This is a permanent operation and "
                                 "cannot be undone."_s
                              << false;
    QTest::newRow("leaf, Yes") << u"Leaf"_s << true
                               << u"Are you sure you want to delete \"Leaf\" ? This is a permanent operation and "
                                  "cannot be undone."_s
                               << true;
}

void TestEditing::deleteCommand()
{
    QFETCH(QString, selected);
    QFETCH(bool, answer);
    QFETCH(QString, shownText);
    QFETCH(bool, deleted);
    Editing e;
    const int group = e.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    e.db.addMessage(u"Child"_s, u"child"_s, u"c"_s, group);
    const int open = e.db.addMessage(u"Open"_s, u"open"_s, u"o"_s);
    e.db.addMessage(u"Inner"_s, u"inner"_s, u"i"_s, open);
    const int leaf = e.db.addMessage(u"Leaf"_s, u"leaf"_s, u"l"_s);
    e.db.addKeyword(leaf, u"kw"_s);
    e.db.addAttachment(leaf, u"/tmp/x.txt"_s, false);
    TfrmMain& w = e.start();
    e.node(u"Open"_s)->setExpanded(true);
    if (!selected.isEmpty())
        e.select(selected);
    // A search shows another Message; Delete still acts on the selected node.
    w.ShowFAQByID(open);
    e.ui.clear();
    if (selected == u"Leaf"_s)
        e.ui.confirmAnswers = {answer};
    child<QAction>(w, "actDelete")->trigger();
    QCOMPARE(e.ui.shown.size(), 1);
    QCOMPARE(e.ui.shown.front().text, shownText);
    QCOMPARE(e.stored(leaf, u"ID"_s) == u"<none>"_s, deleted);
    QCOMPARE(e.node(u"Leaf"_s) == nullptr, deleted);
    QCOMPARE(e.count(u"select count(*) from FAQKeywords where FAQID = ?"_s, {leaf}), deleted ? 0 : 1);
    QCOMPARE(e.count(u"select count(*) from FAQAttachments where FAQID = ?"_s, {leaf}), deleted ? 0 : 1);
    // The tree is not read again and the panel keeps its Message.
    QVERIFY(e.node(u"Open"_s)->isExpanded());
    QCOMPARE(w.ShownMessageID(), open);
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Open"_s);
    QCOMPARE(e.count(u"select count(*) from FAQ"_s), deleted ? 4 : 5);
}

void TestEditing::drops_data()
{
    QTest::addColumn<QString>("dragged");
    QTest::addColumn<QString>("target"); // empty: below the last node
    QTest::addColumn<QString>("shownText");
    QTest::addColumn<QString>("newGroup"); // label of the new group, "top", or "" for no move
    QTest::newRow("onto itself") << u"Child"_s << u"Child"_s << u"You cannot drag/drop a message onto itself."_s
                                 << QString();
    QTest::newRow("below the last node") << u"Child"_s << QString()
                                         << u"Are you sure you want to place \"Child\" at the top level ?"_s
                                         << u"top"_s;
    QTest::newRow("onto its own parent") << u"Child"_s << u"Group"_s
                                         << u"Are you sure you want to place \"Child\" inside \"Group\" ?"_s
                                         << u"Group"_s;
    QTest::newRow("onto another group") << u"Child"_s << u"Other"_s
                                        << u"Are you sure you want to place \"Child\" inside \"Other\" ?"_s
                                        << u"Other"_s;
    QTest::newRow("onto its grandchild") << u"Group"_s << u"Grandchild"_s
                                         << u"You cannot place \"Group\" inside a message that it contains."_s
                                         << QString();
}

void TestEditing::drops()
{
    QFETCH(QString, dragged);
    QFETCH(QString, target);
    QFETCH(QString, shownText);
    QFETCH(QString, newGroup);
    Editing e;
    const int group = e.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int childID = e.db.addMessage(u"Child"_s, u"child"_s, u"c"_s, group);
    e.db.addMessage(u"Grandchild"_s, u"grandchild"_s, u"gc"_s, childID);
    const int other = e.db.addMessage(u"Other"_s, u"other"_s, u"o"_s);
    TfrmMain& w = e.start();
    e.node(u"Group"_s)->setExpanded(true);
    e.node(u"Child"_s)->setExpanded(true);
    e.node(u"Other"_s)->setExpanded(true);
    e.select(dragged);
    const int draggedID = dragged == u"Group"_s ? group : childID;
    QPoint point(5, child<QTreeWidget>(w, "tvFAQs")->viewport()->height() - 2);
    if (!target.isEmpty())
        point = child<QTreeWidget>(w, "tvFAQs")->visualItemRect(e.node(target)).center();
    e.ui.clear();
    if (!newGroup.isEmpty())
        e.ui.confirmAnswers = {true};
    w.faqTree().tvFAQsDragDrop(point);
    QCOMPARE(e.ui.shown.size(), 1);
    QCOMPARE(e.ui.shown.front().text, shownText);
    const int expectedGroup = newGroup.isEmpty() ? (dragged == u"Group"_s ? 0 : group)
        : newGroup == u"top"_s                   ? 0
        : newGroup == u"Group"_s                 ? group
                                                 : other;
    QCOMPARE(e.stored(draggedID, u"GroupID"_s).toInt(), expectedGroup);
    // The rebuilt tree keeps expansion by Message ID, the moved node's included.
    QTreeWidgetItem* moved = e.node(dragged);
    QVERIFY(moved);
    QCOMPARE(moved->parent() ? NodeID(moved->parent()) : 0, expectedGroup);
    QVERIFY(moved->isExpanded());
}

void TestEditing::tabOrder_data()
{
    QTest::addColumn<bool>("newMessage");
    QTest::newRow("new message") << true;
    QTest::newRow("existing message with rows") << false;
}

void TestEditing::tabOrder()
{
    QFETCH(bool, newMessage);
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"t"_s);
    e.db.addKeyword(a, u"k1"_s);
    e.db.addKeyword(a, u"k2"_s);
    e.db.run(u"insert into FAQAttachments (FAQID, Filename) values (?, '/srv/a.doc')"_s, {a});
    TfrmMain& w = e.start();
    if (newMessage)
        child<QAction>(w, "actNew")->trigger();
    else
        e.editMessage(a);
    TfrmAddEditFAQ& d = e.dialog();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    auto* hotword = child<QLineEdit>(d, "dbtxtHotWord");
    // The fields every Message needs, the optional grids, the pages, then the buttons.
    const QStringList expected{u"dbtxtHotWord"_s,   u"dbtxtShortDescription"_s, u"dbmemText"_s,  u"dbgKeywords"_s,
                               u"dbgAttachments"_s, u"qt_tabwidget_tabbar"_s,   u"btnInclude"_s, u"btnSave"_s,
                               u"btnCancel"_s};
    QCOMPARE(TabChain(d, hotword), expected);
    child<QTabWidget>(d, "pcNotes")->setCurrentWidget(child<QWidget>(d, "tsInternal"));
    QStringList withNotes = expected;
    withNotes.removeOne(u"dbmemText"_s);
    withNotes.insert(withNotes.indexOf(u"btnInclude"_s), u"dbmemInternalNotes"_s);
    QCOMPARE(TabChain(d, hotword), withNotes);
    child<QTabWidget>(d, "pcNotes")->setCurrentWidget(child<QWidget>(d, "tsMessage"));

    // Typed as a user would: Tab leaves each field, and each grid after its last cell.
    hotword->setFocus();
    QTest::keyClicks(hotword, u"hw"_s);
    if (newMessage) {
        QTest::keyClick(hotword, Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), u"desc"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), u"text"_s);
        QCOMPARE(hotword->text(), u"hw"_s);
        QCOMPARE(child<QPlainTextEdit>(d, "dbtxtShortDescription")->toPlainText(), u"desc"_s);
        QCOMPARE(child<QPlainTextEdit>(d, "dbmemText")->toPlainText(), u"text"_s);
        hotword->setFocus();
    }
    QStringList visited{hotword->objectName()};
    for (int press = 0; press < 30 && visited.size() <= expected.size(); ++press) {
        QWidget* focused = QApplication::focusWidget();
        if (focused == child<QPlainTextEdit>(d, "dbtxtShortDescription"))
            QTest::keyClicks(focused, u"desc"_s);
        if (focused == child<QPlainTextEdit>(d, "dbmemText"))
            QTest::keyClicks(focused, u"body"_s);
        QTest::keyClick(focused, Qt::Key_Tab);
        const QString now = QApplication::focusWidget()->objectName();
        if (now != visited.back())
            visited << now;
    }
    QCOMPARE(visited, expected + QStringList{u"dbtxtHotWord"_s});
    QVERIFY(hotword->text().endsWith(u"hw"_s));
    QVERIFY(child<QPlainTextEdit>(d, "dbtxtShortDescription")->toPlainText().contains(u"desc"_s));
    QVERIFY(child<QPlainTextEdit>(d, "dbmemText")->toPlainText().contains(u"body"_s));
    QVERIFY(!child<QPlainTextEdit>(d, "dbmemText")->toPlainText().contains(u'\t'));
}

void TestEditing::escapeAsksBeforeDiscarding_data()
{
    QTest::addColumn<bool>("newMessage");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asks");
    QTest::newRow("new untouched") << true << QString() << false << false;
    QTest::newRow("new typed, No keeps it") << true << u"text"_s << false << true;
    QTest::newRow("new typed, Yes drops it") << true << u"text"_s << true << true;
    QTest::newRow("new with a keyword only") << true << u"keyword"_s << true << true;
    QTest::newRow("existing untouched") << false << QString() << false << false;
    QTest::newRow("existing changed, No keeps it") << false << u"text"_s << false << true;
    QTest::newRow("existing changed, Yes drops it") << false << u"text"_s << true << true;
}

void TestEditing::escapeAsksBeforeDiscarding()
{
    QFETCH(bool, newMessage);
    QFETCH(QString, change);
    QFETCH(bool, answer);
    QFETCH(bool, asks);
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"stored"_s);
    TfrmMain& w = e.start();
    if (newMessage) {
        e.ui.clear();
        child<QAction>(w, "actNew")->trigger();
    } else {
        e.editMessage(a);
    }
    TfrmAddEditFAQ& d = e.dialog();
    if (change == u"text"_s)
        child<QPlainTextEdit>(d, "dbmemText")->setPlainText(u"typed"_s);
    if (change == u"keyword"_s) {
        child<DataNavigator>(d, "dbnKeywords")->btnInsert->click();
        Editing::typeCell(child<QTableView>(d, "dbgKeywords"), 0, 0, u"kw"_s);
    }
    if (asks)
        e.ui.confirmAnswers = {answer};
    QTest::keyClick(&d, Qt::Key_Escape);

    QCOMPARE(e.ui.shown.size(), asks ? 1 : 0);
    if (asks) {
        QCOMPARE(e.ui.shown.front().text, u"Discard the changes made to this message?"_s);
        QCOMPARE(e.ui.shown.front().defaultButton, u"No"_s);
    }
    const bool kept = asks && !answer;
    QCOMPARE(d.isVisible(), kept);
    if (kept)
        QCOMPARE(child<QPlainTextEdit>(d, "dbmemText")->toPlainText(), u"typed"_s);
    QCOMPARE(e.db.module->messageState(),
             kept ? (newMessage ? DataSetState::Insert : DataSetState::Edit) : DataSetState::Browse);
    QCOMPARE(e.count(u"select count(*) from FAQ"_s), 1);
    QCOMPARE(e.count(u"select count(*) from FAQKeywords"_s), 0);
    QCOMPARE(e.stored(a, u"Text"_s), u"stored"_s);
}

void TestEditing::pickedFileGoesIntoTheNewRow_data()
{
    QTest::addColumn<bool>("newMessage");
    QTest::newRow("new message") << true;
    QTest::newRow("existing message") << false;
}

void TestEditing::pickedFileGoesIntoTheNewRow()
{
    QFETCH(bool, newMessage);
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"t"_s);
    TfrmMain& w = e.start();
    if (newMessage) {
        child<QAction>(w, "actNew")->trigger();
        e.type(u"picked"_s, u"Picked"_s, u"t"_s);
    } else {
        e.editMessage(a);
    }
    TfrmAddEditFAQ& d = e.dialog();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    // The file picker is a window of its own: it takes the focus while it is open.
    QWidget picker;
    auto* pickerField = new QLineEdit(&picker);
    picker.show();
    e.ui.fileAnswers.push_back(u"/srv/picked.doc"_s);
    e.ui.whileShown = [&](const ScriptedInteraction::Shown&) {
        QApplication::setActiveWindow(&picker);
        pickerField->setFocus();
    };

    child<DataNavigator>(d, "dbNavAttachments")->btnInsert->click();
    QTableView* grid = child<QTableView>(d, "dbgAttachments");
    auto* ellipsis = grid->findChild<QToolButton*>(u"btnEllipsis"_s);
    QVERIFY(ellipsis);
    ellipsis->click();
    e.ui.whileShown = nullptr;
    QApplication::setActiveWindow(&d);
    QCOMPARE(e.ui.texts(u"open"_s).size(), 1);
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(grid->model()->index(0, 0).data().toString(), u"/srv/picked.doc"_s);

    child<QPushButton>(d, "btnSave")->click();
    QVERIFY(!d.isVisible());
    const int id = newMessage ? e.count(u"select ID from FAQ where Hotword = 'picked'"_s) : a;
    QCOMPARE(e.count(u"select count(*) from FAQAttachments where FAQID = ? and Filename = '/srv/picked.doc'"_s, {id}),
             1);
}

void TestEditing::shortDescriptionHoldsFifty_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("expected");
    QTest::newRow("typed") << u"typed"_s << QString(50, u'a');
    QTest::newRow("pasted between") << u"pasted"_s << u"a"_s + QString(47, u'x') + u"bc"_s;
    QTest::newRow("fifty fit") << u"fifty"_s << QString(50, u'f');
}

void TestEditing::shortDescriptionHoldsFifty()
{
    QFETCH(QString, how);
    QFETCH(QString, expected);
    Editing e;
    TfrmMain& w = e.start();
    e.ui.clear();
    child<QAction>(w, "actNew")->trigger();
    TfrmAddEditFAQ& d = e.dialog();
    e.type(u"long"_s, QString(), u"t"_s);
    auto* description = child<QPlainTextEdit>(d, "dbtxtShortDescription");
    if (how == u"typed"_s)
        QTest::keyClicks(description, QString(60, u'a'));
    if (how == u"fifty"_s)
        description->setPlainText(QString(50, u'f'));
    if (how == u"pasted"_s) {
        description->setPlainText(u"abc"_s);
        QTextCursor cursor = description->textCursor();
        cursor.setPosition(1);
        description->setTextCursor(cursor);
        description->insertPlainText(QString(60, u'x'));
        QCOMPARE(description->textCursor().position(), 48);
    }
    QCOMPARE(description->toPlainText(), expected);
    child<QPushButton>(d, "btnSave")->click();
    QCOMPARE(e.ui.shown.size(), 0);
    QVERIFY(!d.isVisible());
    QCOMPARE(e.count(u"select count(*) from FAQ where ShortName = ?"_s, {expected}), 1);
}

void TestEditing::opensCentredOnTheScreen()
{
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"t"_s);
    TfrmMain& w = e.start();
    const QRect screen = w.screen()->availableGeometry();
    const auto centred = [&screen](const QWidget& window) {
        // Within the width of a window frame.
        return (window.frameGeometry().center() - screen.center()).manhattanLength() <= 8 + UnknownFrameHeight(window);
    };
    w.setGeometry(screen.left() + 10, screen.top() + 10, 320, 240);
    child<QAction>(w, "actNew")->trigger();
    QVERIFY(centred(e.dialog()));
    // Moved by the user and closed, it opens centred again.
    e.dialog().move(screen.topLeft());
    child<QPushButton>(e.dialog(), "btnCancel")->click();
    e.editMessage(a);
    QVERIFY(centred(e.dialog()));
}

void TestEditing::acceleratorsUniquePerWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("add/edit, new message") << u"new"_s;
    QTest::newRow("add/edit, existing message") << u"existing"_s;
    QTest::newRow("free-text prompt") << u"prompt"_s;
}

void TestEditing::acceleratorsUniquePerWindow()
{
    QFETCH(QString, window);
    Editing e;
    const int a = e.db.addMessage(u"A"_s, u"a"_s, u"t"_s);
    TfrmMain& w = e.start();
    if (window == u"prompt"_s) {
        TfrmPromptForTextEntry prompt(&e.dialog());
        QCOMPARE(RepeatedAccelerators(prompt), QStringList());
        return;
    }
    if (window == u"new"_s)
        child<QAction>(w, "actNew")->trigger();
    else
        e.editMessage(a);
    QCOMPARE(RepeatedAccelerators(e.dialog()), QStringList());
}

void TestEditing::promptDialogStaysWhole()
{
    Editing e;
    e.start();
    TfrmPromptForTextEntry prompt(&e.dialog());
    // A title bar without buttons, and nothing to maximise.
    const Qt::WindowFlags flags = prompt.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint) && flags.testFlag(Qt::WindowTitleHint));
    for (const Qt::WindowType button : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                        Qt::WindowCloseButtonHint, Qt::WindowSystemMenuHint})
        QVERIFY(!flags.testFlag(button));
    QCOMPARE(prompt.minimumSize(), prompt.maximumSize());

    // At its smallest size no two controls overlap, and every wrapped text has its height.
    prompt.resize(prompt.minimumSize());
    prompt.show();
    QVERIFY(QTest::qWaitForWindowExposed(&prompt));
    QList<QWidget*> controls;
    for (QWidget* control : prompt.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isVisible())
            controls << control;
    }
    QVERIFY(controls.size() >= 8);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        QVERIFY2(prompt.rect().contains(controls[i]->geometry()), qPrintable(controls[i]->objectName()));
        if (auto* label = qobject_cast<QLabel*>(controls[i]); label && label->wordWrap())
            QVERIFY(label->height() >= label->heightForWidth(label->width()));
        for (qsizetype j = i + 1; j < controls.size(); ++j) {
            QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                     qPrintable(controls[i]->objectName() + u" overlaps "_s + controls[j]->objectName()));
        }
    }

    // Minimised by the window manager, it comes straight back.
    prompt.setWindowState(Qt::WindowMinimized);
    QVERIFY(!prompt.isMinimized());
    prompt.hide();
}

QTEST_MAIN(TestEditing)
#include "childbyname.h"
#include "tst_editing.moc"
