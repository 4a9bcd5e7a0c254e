// The main window for keyboard users and everyday habits: activation selects the last search
// term, accelerators, command keys, the tree's context menu with Move to and Duplicate, the
// Hotword list while typing, a delete that leaves the panel alone, a long Hotword, a help
// file that can not be opened and single clicks on the tray icon.
#include "app/activationhotkey.h"
#include "app/fMain.h"
#include "app/traycontroller.h"
#include "dialogs/elidedlabel.h"
#include "dialogs/fMoveFAQ.h"
#include "dialogs/ffaqaddedit.h"
#include "mainwindowfixture.h"
#include "windowplacement.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

struct Window : MainWindowFixture {
    TfrmMain& start()
    {
        create().show();
        if (!QTest::qWaitForWindowActive(window.get()))
            qFatal("main window not active");
        desktop.windows.addExistingWindow(window->winId(), window->windowTitle());
        return *window;
    }
    QTreeWidget* tree() const { return child<QTreeWidget>(*window, "tvFAQs"); }
    QLineEdit* term() const { return child<QLineEdit>(*window, "txtSearchTerm"); }
    QTreeWidgetItem* node(const QString& label) const
    {
        const auto found = tree()->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    // A click on the node's row, as the mouse gives it: the tree takes the focus.
    void click(const QString& label) const
    {
        tree()->scrollToItem(node(label));
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(node(label)).center());
    }
    QString title() const { return child<QLabel>(*window, "lblFAQTitle")->text(); }
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
    QAbstractItemView* hotwordList() const { return window->findChild<QCompleter*>(u"cmpHotwords"_s)->popup(); }
    TfrmMoveFAQ* moveDialog() const { return window->findChild<TfrmMoveFAQ*>(); }
};

QStringList Texts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (const QAction* action : actions)
        texts << (action->isSeparator() ? u"-"_s : action->text());
    return texts;
}

QStringList Completions(QAbstractItemView* list)
{
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        texts << list->model()->index(row, 0).data().toString();
    return texts;
}

} // namespace

class TestMainWindowKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void activationSelectsTheSearchTerm_data();
    void activationSelectsTheSearchTerm();
    void deleteLeavesTheShownMessage_data();
    void deleteLeavesTheShownMessage();
    void longHotwordKeepsThePanelWidth();
    void acceleratorsAreUnique();
    void acceleratorsFocusTheirControls_data();
    void acceleratorsFocusTheirControls();
    void commandKeys_data();
    void commandKeys();
    void contextMenuActsOnTheNodeUnderThePointer();
    void moveToOffersOnlyPlacesThatKeepTheTree();
    void duplicateCopiesAndOpensTheCopy();
    void hotwordListWhileTyping();
    void helpFileThatCanNotBeOpened_data();
    void helpFileThatCanNotBeOpened();
    void trayIconClicks();
};

void TestMainWindowKeys::activationSelectsTheSearchTerm_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("activation key from another program") << u"hot key"_s;
    QTest::newRow("activation key in the window") << u"window key"_s;
    QTest::newRow("double-click on the tray icon") << u"tray"_s;
    QTest::newRow("Restore in the tray menu") << u"restore"_s;
}

void TestMainWindowKeys::activationSelectsTheSearchTerm()
{
    QFETCH(QString, way);
    Window w;
    w.db.addMessage(u"Refunds"_s, u"refund"_s, u"Refund text"_s);
    w.db.addMessage(u"Quotes"_s, u"quote"_s, u"Quote text"_s);
    TfrmMain& main = w.start();
    QTest::keyClicks(w.term(), u"refund"_s);
    QTest::keyClick(w.term(), Qt::Key_Return);
    QCOMPARE(w.title(), u"Refunds"_s);
    w.click(u"Quotes"_s);
    QCOMPARE(w.title(), u"Quotes"_s);
    QCOMPARE(QApplication::focusWidget(), w.tree());
    QCOMPARE(w.term()->selectedText(), QString());

    if (way == u"hot key"_s)
        Q_EMIT main.tray().jvActivateMe->pressed();
    else if (way == u"window key"_s)
        QTest::keyClick(w.tree(), Qt::Key_F11);
    else if (way == u"tray"_s)
        Q_EMIT main.tray().tiIcon->activated(QSystemTrayIcon::DoubleClick);
    else
        child<QAction>(main, "actRestore")->trigger();
    QCOMPARE(QApplication::focusWidget(), w.term());
    QCOMPARE(w.term()->selectedText(), u"refund"_s);

    // The next Hotword replaces the last one.
    QTest::keyClicks(w.term(), u"quote"_s);
    QTest::keyClick(w.term(), Qt::Key_Return);
    QCOMPARE(w.term()->text(), u"quote"_s);
    QCOMPARE(w.title(), u"Quotes"_s);
    QCOMPARE(w.ui.texts(u"message"_s), QStringList());
}

void TestMainWindowKeys::deleteLeavesTheShownMessage_data()
{
    QTest::addColumn<QString>("deleted");
    QTest::newRow("first of its siblings") << u"Alpha"_s;
    QTest::newRow("between two siblings") << u"Beta"_s;
    QTest::newRow("last of its siblings") << u"Gamma"_s;
    QTest::newRow("only child") << u"Inner"_s;
}

void TestMainWindowKeys::deleteLeavesTheShownMessage()
{
    QFETCH(QString, deleted);
    Window w;
    w.db.addMessage(u"Alpha"_s, u"alpha"_s, u"a"_s);
    w.db.addMessage(u"Beta"_s, u"beta"_s, u"b"_s);
    const int folder = w.db.addMessage(u"Folder"_s, u"folder"_s, u"f"_s);
    w.db.addMessage(u"Gamma"_s, u"gamma"_s, u"g"_s);
    w.db.addMessage(u"Inner"_s, u"inner"_s, u"i"_s, folder);
    w.start();
    w.node(u"Folder"_s)->setExpanded(true);
    w.click(deleted);
    const int id = w.window->ShownMessageID();
    // The Delete key of the tree, with the usual question.
    w.ui.confirmAnswers = {true};
    QTest::keyClick(w.tree(), Qt::Key_Delete);
    QCOMPARE(w.ui.texts(u"confirm"_s),
             QStringList{u"Are you sure you want to delete \""_s + deleted
                         + u"\" ? This is a permanent operation and cannot be undone."_s});
    QVERIFY(!w.node(deleted));
    QCOMPARE(w.stored(id, u"ID"_s), u"<none>"_s);
    QCOMPARE(w.title(), deleted);
    QCOMPARE(w.window->ShownMessageID(), id);
    // Another node is shown by selecting it.
    w.click(u"Beta"_s == deleted ? u"Alpha"_s : u"Beta"_s);
    QCOMPARE(w.title(), u"Beta"_s == deleted ? u"Alpha"_s : u"Beta"_s);

    // The Delete key elsewhere edits text and deletes no Message.
    w.term()->setText(u"xy"_s);
    w.term()->setFocus();
    QTest::keyClick(w.term(), Qt::Key_Home);
    QTest::keyClick(w.term(), Qt::Key_Delete);
    QCOMPARE(w.term()->text(), u"y"_s);
    QCOMPARE(w.ui.texts(u"confirm"_s).size(), 1);
}

void TestMainWindowKeys::longHotwordKeepsThePanelWidth()
{
    Window w;
    const QString hotword(50, u'W');
    const int id = w.db.addMessage(u"Wide"_s, hotword, u"w"_s);
    w.db.addMessage(u"Short"_s, u"s"_s, u"s"_s);
    TfrmMain& main = w.start();
    QWidget* panel = child<QWidget>(main, "pnlFAQs");
    const int width = panel->width();
    // Where the frame was unknown before the window showed, the panel starts a little narrower
    // and gets its width back as the window grows.
    if (UnknownFrameHeight(main) == 0)
        QCOMPARE(width, 222);
    main.ShowFAQByID(id);
    // The layout settles over several rounds of events.
    QTest::qWait(100);
    QCOMPARE(panel->width(), width);
    auto* label = child<ElidedLabel>(main, "lblFAQHotword");
    QVERIFY(label->text().endsWith(u'\u2026'));
    QVERIFY(label->text().size() < hotword.size());
    QCOMPARE(label->toolTip(), hotword);
    QCOMPARE(label->fullText(), hotword);

    // A wider window shows more of it; a short Hotword shows whole.
    const qsizetype shown = label->text().size();
    main.resize(main.width() + 200, main.height());
    QTest::qWait(100);
    QVERIFY(panel->width() <= qMax(width, 222));
    QVERIFY(label->text().size() > shown);
    main.ShowFAQByID(w.node(u"Short"_s)->data(0, Qt::UserRole).toInt());
    QCOMPARE(label->text(), u"s"_s);
}

void TestMainWindowKeys::acceleratorsAreUnique()
{
    Window w;
    TfrmMain& main = w.start();
    QStringList owners;
    QHash<QChar, QString> ownerOf;
    const auto note = [&](const QString& text, const QString& owner) {
        const qsizetype at = QString(text).replace(u"&&"_s, u"__"_s).indexOf(u'&');
        if (at < 0 || at + 1 >= text.size())
            return;
        const QChar letter = text[at + 1].toLower();
        if (ownerOf.contains(letter))
            owners << ownerOf[letter] + u" and "_s + owner + u" share Alt+"_s + letter;
        ownerOf.insert(letter, owner);
    };
    for (const QAction* menu : main.menuBar()->actions())
        note(menu->text(), u"menu "_s + menu->text());
    // The window's own controls; its dialogs are windows of their own.
    for (const QLabel* label : main.findChildren<QLabel*>()) {
        if (label->window() == &main)
            note(label->text(), u"label "_s + label->objectName());
    }
    for (const QAbstractButton* button : main.findChildren<QAbstractButton*>()) {
        if (button->window() == &main)
            note(button->text(), u"button "_s + button->objectName());
    }
    QCOMPARE(owners.join(u"; "_s), QString());
    // The menus keep their own letters.
    QCOMPARE(Texts(main.menuBar()->actions()), (QStringList{u"&File"_s, u"&Messages"_s, u"T&ools"_s, u"&Help"_s}));
}

void TestMainWindowKeys::acceleratorsFocusTheirControls_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focus");
    QTest::newRow("Alt+A") << int(Qt::Key_A) << u"tvFAQs"_s;
    QTest::newRow("Alt+S") << int(Qt::Key_S) << u"txtSearchTerm"_s;
    QTest::newRow("Alt+Y") << int(Qt::Key_Y) << u"cmbSearchType"_s;
    QTest::newRow("Alt+T") << int(Qt::Key_T) << u"memText"_s;
}

void TestMainWindowKeys::acceleratorsFocusTheirControls()
{
    QFETCH(int, key);
    QFETCH(QString, focus);
    Window w;
    TfrmMain& main = w.start();
    child<QPushButton>(main, "btnExit")->setFocus();
    QTest::keyClick(&main, Qt::Key(key), Qt::AltModifier);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void TestMainWindowKeys::commandKeys_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("Ctrl+N in the tree") << u"tvFAQs"_s << int(Qt::Key_N) << u"new"_s;
    QTest::newRow("Ctrl+N in the search box") << u"txtSearchTerm"_s << int(Qt::Key_N) << u"new"_s;
    QTest::newRow("Ctrl+E in the tree") << u"tvFAQs"_s << int(Qt::Key_E) << u"edit"_s;
    QTest::newRow("Ctrl+E in the search box") << u"txtSearchTerm"_s << int(Qt::Key_E) << u"edit"_s;
    QTest::newRow("Ctrl+E in the text") << u"memText"_s << int(Qt::Key_E) << u"edit"_s;
    QTest::newRow("Ctrl+F in the tree") << u"tvFAQs"_s << int(Qt::Key_F) << u"find"_s;
    QTest::newRow("Ctrl+F in the text") << u"memText"_s << int(Qt::Key_F) << u"find"_s;
}

void TestMainWindowKeys::commandKeys()
{
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, outcome);
    Window w;
    const int group = w.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    TfrmMain& main = w.start();
    w.term()->setText(u"group"_s);
    w.click(u"Group"_s);
    QWidget* widget = main.findChild<QWidget*>(from);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key(key), Qt::ControlModifier);
    if (outcome == u"find"_s) {
        QCOMPARE(QApplication::focusWidget(), w.term());
        QCOMPARE(w.term()->selectedText(), u"group"_s);
        QVERIFY(!main.addEditDialog().isVisible());
        return;
    }
    QVERIFY(main.addEditDialog().isVisible());
    QCOMPARE(w.db.module->messageState(), outcome == u"new"_s ? DataSetState::Insert : DataSetState::Edit);
    // New places the Message under the selected node; Edit works on the shown one.
    QCOMPARE(w.db.module->PendingMessage().hotword, outcome == u"new"_s ? QString() : u"group"_s);
    QCOMPARE(main.ShownMessageID(), group);
}

void TestMainWindowKeys::contextMenuActsOnTheNodeUnderThePointer()
{
    Window w;
    w.db.addMessage(u"Alpha"_s, u"alpha"_s, u"a"_s);
    w.db.addMessage(u"Beta"_s, u"beta"_s, u"b"_s);
    TfrmMain& main = w.start();
    w.click(u"Alpha"_s);
    Q_EMIT w.tree()->customContextMenuRequested(w.tree()->visualItemRect(w.node(u"Beta"_s)).center());
    auto* menu = child<QMenu>(main, "mnuFAQTree");
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(w.tree()->currentItem(), w.node(u"Beta"_s));
    QCOMPARE(w.title(), u"Beta"_s);
    QCOMPARE(
        Texts(menu->actions()),
        (QStringList{u"&New"_s, u"&Edit Current Message"_s, u"&Delete"_s, u"-"_s, u"&Move to..."_s, u"D&uplicate"_s}));
    QCOMPARE(menu->actions().at(2)->shortcut(), QKeySequence(Qt::Key_Delete));
    menu->hide();

    // Without a selected node the commands say what they need.
    w.tree()->clearSelection();
    child<QAction>(main, "actMoveTo")->trigger();
    child<QAction>(main, "actDuplicate")->trigger();
    QCOMPARE(w.ui.texts(u"message"_s),
             (QStringList{u"Please select a message to move"_s, u"Please select a message to duplicate"_s}));
}

void TestMainWindowKeys::moveToOffersOnlyPlacesThatKeepTheTree()
{
    Window w;
    const int group = w.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int moving = w.db.addMessage(u"Child"_s, u"child"_s, u"c"_s, group);
    const int inner = w.db.addMessage(u"Grandchild"_s, u"grandchild"_s, u"gc"_s, moving);
    const int other = w.db.addMessage(u"Other"_s, u"other"_s, u"o"_s);
    w.db.addMessage(u"Leaf"_s, u"leaf"_s, u"l"_s, other);
    TfrmMain& main = w.start();
    w.node(u"Group"_s)->setExpanded(true);
    w.node(u"Other"_s)->setExpanded(true);
    w.click(u"Child"_s);
    child<QAction>(main, "actMoveTo")->trigger();
    TfrmMoveFAQ* dialog = w.moveDialog();
    QVERIFY(dialog && dialog->isVisible());
    auto* groups = child<QTreeWidget>(*dialog, "tvGroups");
    auto* ok = child<QDialogButtonBox>(*dialog, "btnsMove")->button(QDialogButtonBox::Ok);
    const auto item = [&](const QString& label) {
        return groups->findItems(label, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    };
    // The whole tree under the top level; the Message and what it contains can not be picked.
    QCOMPARE(groups->topLevelItemCount(), 1);
    QCOMPARE(groups->topLevelItem(0)->text(0), u"(top level)"_s);
    QCOMPARE(item(u"Leaf"_s)->parent(), item(u"Other"_s));
    QCOMPARE(item(u"Grandchild"_s)->parent(), item(u"Child"_s));
    QVERIFY(item(u"Child"_s)->isDisabled());
    QVERIFY(item(u"Grandchild"_s)->isDisabled());
    QVERIFY(!item(u"Group"_s)->isDisabled());
    QVERIFY(!ok->isEnabled());

    // The filter narrows the list and picks the first match that may take the Message.
    auto* filter = child<QLineEdit>(*dialog, "txtFilter");
    QTest::keyClicks(filter, u"grand"_s);
    QVERIFY(!ok->isEnabled());
    QVERIFY(item(u"Other"_s)->isHidden());
    QVERIFY(!item(u"Grandchild"_s)->isHidden());
    filter->clear();
    QTest::keyClicks(filter, u"LEA"_s);
    QCOMPARE(groups->currentItem(), item(u"Leaf"_s));
    QVERIFY(!item(u"Other"_s)->isHidden());
    QVERIFY(item(u"Group"_s)->isHidden());
    QVERIFY(ok->isEnabled());
    // The arrow keys go from the filter to the list.
    filter->clear();
    QTest::keyClick(filter, Qt::Key_Up);
    QCOMPARE(groups->currentItem(), item(u"Other"_s));
    QVERIFY(ok->isEnabled());
    filter->setFocus();
    QTest::keyClicks(filter, u"other"_s);
    QTest::keyClick(groups, Qt::Key_Return);
    QTRY_VERIFY(!w.moveDialog());

    QCOMPARE(w.stored(moving, u"GroupID"_s).toInt(), other);
    QCOMPARE(w.stored(inner, u"GroupID"_s).toInt(), moving);
    QCOMPARE(w.node(u"Child"_s)->parent(), w.node(u"Other"_s));
    QCOMPARE(w.tree()->currentItem(), w.node(u"Child"_s));
    QCOMPARE(w.ui.shown.size(), 0);
}

void TestMainWindowKeys::duplicateCopiesAndOpensTheCopy()
{
    Window w;
    const int group = w.db.addMessage(u"Group"_s, u"group"_s, u"g"_s);
    const int leaf = w.db.addMessage(u"Leaf"_s, u"leaf"_s, u"Leaf text"_s, group, u"notes"_s);
    w.db.addKeyword(leaf, u"kw"_s);
    w.db.addAttachment(leaf, u"/tmp/x.txt"_s, true);
    TfrmMain& main = w.start();
    w.node(u"Group"_s)->setExpanded(true);
    w.click(u"Leaf"_s);
    child<QAction>(main, "actDuplicate")->trigger();

    const int copy = main.ShownMessageID();
    QVERIFY(copy != leaf);
    QCOMPARE(w.stored(copy, u"Hotword"_s), u"leaf-copy"_s);
    QCOMPARE(w.stored(copy, u"GroupID"_s).toInt(), group);
    QCOMPARE(w.count(u"select count(*) from FAQKeywords where FAQID = ?"_s, {copy}), 1);
    QCOMPARE(w.count(u"select count(*) from FAQAttachments where FAQID = ?"_s, {copy}), 1);
    // The copy is selected in its group and open for editing.
    QCOMPARE(w.tree()->currentItem()->parent(), w.node(u"Group"_s));
    QCOMPARE(w.tree()->currentItem()->data(0, Qt::UserRole).toInt(), copy);
    QCOMPARE(w.node(u"Group"_s)->childCount(), 2);
    QVERIFY(main.addEditDialog().isVisible());
    QCOMPARE(w.db.module->messageState(), DataSetState::Edit);
    QCOMPARE(w.db.module->PendingMessage().hotword, u"leaf-copy"_s);
    QCOMPARE(w.ui.shown.size(), 0);

    // While it is open, no further copy is made.
    child<QAction>(main, "actDuplicate")->trigger();
    QCOMPARE(w.ui.texts(u"message"_s),
             QStringList{u"Please save or cancel the message being edited before duplicating a message."_s});
    QCOMPARE(w.count(u"select count(*) from FAQ"_s), 3);
}

void TestMainWindowKeys::hotwordListWhileTyping()
{
    Window w;
    w.db.addMessage(u"Refunds"_s, u"refund"_s, u"Refund text"_s);
    w.db.addMessage(u"Returns"_s, u"return"_s, u"Return text"_s);
    w.db.addMessage(u"Quotes"_s, u"quote"_s, u"Quote text"_s);
    TfrmMain& main = w.start();
    QAbstractItemView* list = w.hotwordList();

    QTest::keyClicks(w.term(), u"RE"_s);
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(Completions(list), (QStringList{u"refund"_s, u"return"_s}));
    // Enter searches for what was typed, as without the list.
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(!list->isVisible());
    QCOMPARE(w.ui.texts(u"message"_s), QStringList{u"No matching records found using HotWord search"_s});
    QCOMPARE(w.term()->selectedText(), u"RE"_s);

    // The arrow keys pick a Hotword; Enter then searches for it.
    QTest::keyClicks(w.term(), u"re"_s);
    QTRY_VERIFY(list->isVisible());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(w.term()->text(), u"return"_s);
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(!list->isVisible());
    QCOMPARE(w.title(), u"Returns"_s);
    QCOMPARE(w.term()->selectedText(), u"return"_s);

    // The list follows the Messages: a deleted Hotword leaves it.
    w.click(u"Returns"_s);
    w.ui.confirmAnswers = {true};
    QTest::keyClick(w.tree(), Qt::Key_Delete);
    w.term()->setFocus();
    w.term()->clear();
    QTest::keyClicks(w.term(), u"re"_s);
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(Completions(list), QStringList{u"refund"_s});
    QTest::keyClick(list, Qt::Key_Escape);

    // Other kinds of search offer no Hotwords.
    QTest::keyClick(w.term(), Qt::Key_F3);
    w.term()->clear();
    QTest::keyClicks(w.term(), u"q"_s);
    QTest::qWait(50);
    QVERIFY(!list->isVisible());
    QVERIFY(!w.term()->completer());
    QTest::keyClick(w.term(), Qt::Key_F2);
    QCOMPARE(w.term()->completer(), main.findChild<QCompleter*>(u"cmpHotwords"_s));
}

void TestMainWindowKeys::helpFileThatCanNotBeOpened_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("reason");
    QTest::newRow("opened") << 42 << QString();
    QTest::newRow("missing file") << 2 << u"the file does not exist."_s;
    QTest::newRow("no program for it") << 31 << u"no program is set up to open files of this kind."_s;
    QTest::newRow("access denied") << 5 << u"access to the file was denied."_s;
    QTest::newRow("the program failed") << 29 << u"the program set up to open it failed."_s;
    QTest::newRow("other error") << 0 << u"the desktop could not open it (error 0)."_s;
}

void TestMainWindowKeys::helpFileThatCanNotBeOpened()
{
    QFETCH(int, result);
    QFETCH(QString, reason);
    Window w;
    TfrmMain& main = w.start();
    w.ui.runFileResult = result;
    QTest::keyClick(w.term(), Qt::Key_F1);
    const QStringList run = w.ui.texts(u"run"_s);
    QCOMPARE(run.size(), 1);
    QCOMPARE(w.ui.texts(u"message"_s),
             reason.isEmpty() ? QStringList()
                              : QStringList{u"The help could not be opened.\r\n\r\nFile: "_s
                                            + QDir::toNativeSeparators(run.front()) + u"\r\nReason: "_s + reason});
    QVERIFY(main.isVisible());
}

void TestMainWindowKeys::trayIconClicks()
{
    Window w;
    TfrmMain& main = w.start();
    QSystemTrayIcon* icon = main.tray().tiIcon;
    const int interval = QApplication::doubleClickInterval();

    // A single click hides the shown window, the next one brings it back.
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY_WITH_TIMEOUT(main.isHidden(), 5 * interval);
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY_WITH_TIMEOUT(main.isVisible(), 5 * interval);
    QCOMPARE(main.focusWidget(), w.term());

    // A double-click begins with a single click, yet only restores.
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick);
    QTest::qWait(2 * interval);
    QVERIFY(main.isVisible());
    main.showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(main.isHidden(), 5 * interval);
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(main.isVisible());
    QTest::qWait(2 * interval);
    QVERIFY(main.isVisible());
    QVERIFY(!main.isMinimized());
}

QTEST_MAIN(TestMainWindowKeys)
#include "childbyname.h"
#include "tst_mainwindowkeys.moc"
