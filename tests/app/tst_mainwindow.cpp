#include "app/fMain.h"
#include "app/faqtree.h"
#include "app/guardedapplication.h"
#include "dialogs/fSelectFAQ.h"
#include "dialogs/textpreview.h"
#include "mainwindowfixture.h"
#include "platform/fake/fakeplatform.h"
#include "util/errors.h"
#include "util/virtualkeys.h"

#include "../dialogs/messagedb.h"
#include "childbyname.h"
#include "scriptedinteraction.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString FirstRunNotice
    = u"When you first run Tolvane QuillBay it does not know which email application you use.  "
      "When you are ready, please go to the Tools->Options menu and select your email program "
      "from the list provided.  If you do not see it there please contact us and let us know."_s;

// Counts the key presses that reach one widget.
class KeyCounter : public QObject {
public:
    explicit KeyCounter(QWidget* widget) { widget->installEventFilter(this); }
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

} // namespace

// The program as start-up builds it, over a database and INI files of its own.
struct Program : MainWindowFixture {
    TfrmMain& start()
    {
        create().show();
        if (!QTest::qWaitForWindowActive(window.get()))
            qFatal("main window not active");
        return *window;
    }

    QTreeWidgetItem* node(const QString& label) const
    {
        const auto found
            = child<QTreeWidget>(*window, "tvFAQs")->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    QStringList children(QTreeWidgetItem* parent) const
    {
        QStringList labels;
        const int count = parent ? parent->childCount() : child<QTreeWidget>(*window, "tvFAQs")->topLevelItemCount();
        for (int i = 0; i < count; ++i)
            labels << (parent ? parent->child(i) : child<QTreeWidget>(*window, "tvFAQs")->topLevelItem(i))->text(0);
        return labels;
    }
    void select(const QString& label) const { child<QTreeWidget>(*window, "tvFAQs")->setCurrentItem(node(label)); }
    void search(int type, const QString& term) const
    {
        child<QComboBox>(*window, "cmbSearchType")->setCurrentIndex(type);
        child<QLineEdit>(*window, "txtSearchTerm")->setText(term);
        child<QAction>(*window, "actSearch")->trigger();
    }
    QStringList dialogRows() const
    {
        QStringList rows;
        const auto* list = child<QTreeWidget>(window->selectDialog(), "lvFAQs");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows << list->topLevelItem(i)->text(1);
        return rows;
    }
};

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartShowsNoticeAndFillsTree();
    void optionsSetSendCaptionAndKeys();
    void optionsDialogAppliesOnOkOnly();
    void longTargetIsElidedInSendCaption_data();
    void longTargetIsElidedInSendCaption();
    void functionKeysSwitchSearchTypeAndPassTheKeyOn();
    void treeLoadsOneLevelPerExpansion();
    void rebuildRestoresExpansionByMessageID();
    void expandAllListsEachMessageOnce_data();
    void expandAllListsEachMessageOnce();
    void expandAllOfDeepChain();
    void showHotwordRelabelsAndIsSaved();
    void unreachableDatabaseEndsProgram();
    void singleMessageShownFollowsShowsAndTyping();
    void searchOutcomes();
    void searchFailureRestoresCursorAndKeepsRunning();
    void notesEnableTheNotesCommand();
    void attachmentsLabelListsExistingFiles();
    void showingDeletedMessageKeepsPanel();
    void selectDialogPicksRefillsAndCancels();
    void resultCellShowsFirstLineOnly_data();
    void resultCellShowsFirstLineOnly();
    void hugeMessageIsShownAndSentWhole();
    void synchronizeFindsShownMessageInCollapsedBranch();
    void helpCommands();
    void lastResortGuardReportsEscapedErrors();
};

void TestMainWindow::firstStartShowsNoticeAndFillsTree()
{
    Program p;
    {
        // Creating the window must not touch the database: on a closed connection every
        // read would raise.
        ConnectionSpec spec;
        spec.database = p.db.folder.filePath(u"bare.db"_s);
        spec.createWithExamples = false;
        TdmFAQData closed(spec);
        QSqlDatabase::database(closed.connectionName()).close();
        TfrmMain bare(closed, p.desktop.platform, p.ui, p.options);
    }
    MessageDb::setOption(Setting::Target, {});
    p.db.addMessage(u"Beta"_s, u"b"_s, u"B text"_s);
    p.db.addMessage(u"alpha"_s, u"a"_s, u"A text"_s);
    TfrmMain& w = p.start();

    QCOMPARE(w.windowTitle(), u"Tolvane Quillbay"_s);
    QCOMPARE(p.ui.texts(u"message"_s), QStringList{FirstRunNotice});
    QCOMPARE(child<QAction>(w, "actSendFAQ")->text(), u"Send Message"_s);
    QCOMPARE(child<QPushButton>(w, "btnPasteToReceivingApp")->text(), u"Send Message"_s);
    QCOMPARE(p.children(nullptr), (QStringList{u"alpha"_s, u"Beta"_s}));
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "txtSearchTerm"));
    QCOMPARE(child<QComboBox>(w, "cmbSearchType")->currentText(), u"Hotword"_s);
    QVERIFY(!child<QAction>(w, "actViewInternalNotes")->isEnabled());
    QVERIFY(!w.SingleMessageShown());
    QCOMPARE(w.SendHotKey(), (HotKey{Vk::F12, 0}));
    QCOMPARE(w.ActivateHotKey(), (HotKey{Vk::F11, 0}));

    // Every refresh asks again while no destination is chosen.
    QTest::keyClick(child<QTreeWidget>(w, "tvFAQs"), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(p.ui.texts(u"message"_s), (QStringList{FirstRunNotice, FirstRunNotice}));
    QCOMPARE(p.ui.texts(u"error"_s), QStringList{});
}

void TestMainWindow::optionsSetSendCaptionAndKeys()
{
    Program p;
    MessageDb::setOption(Setting::Target, u"Outlook"_s);
    MessageDb::setOption(Setting::HotKey, u"Shift+F12"_s);
    TfrmMain& w = p.start();
    QCOMPARE(child<QAction>(w, "actSendFAQ")->text(), u"Paste to Outlook (Shift+F12)"_s);
    QCOMPARE(child<QPushButton>(w, "btnPasteToReceivingApp")->text(), u"Paste to Outlook (Shift+F12)"_s);
    QVERIFY(p.ui.shown.isEmpty());

    QSignalSpy sends(child<QAction>(w, "actSendFAQ"), &QAction::triggered);
    child<QLineEdit>(w, "txtSearchTerm")->setText(u"term"_s);
    child<QLineEdit>(w, "txtSearchTerm")->setFocus();
    child<QLineEdit>(w, "txtSearchTerm")->deselect();
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_F12);
    QCOMPARE(sends.size(), 0);
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_F12, Qt::ShiftModifier);
    QCOMPARE(sends.size(), 1);
    QCOMPARE(child<QLineEdit>(w, "txtSearchTerm")->selectedText(), u"term"_s);

    // A key text that names no key matches no key press.
    MessageDb::setOption(Setting::HotKey, u"Nonsense"_s);
    w.ApplyOptions();
    QCOMPARE(w.SendHotKey().key, 0);
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_F12);
    QCOMPARE(sends.size(), 1);
}

void TestMainWindow::longTargetIsElidedInSendCaption_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("caption");

    const QString sixty(60, u'n');
    QTest::newRow("60 characters") << sixty << u"Paste to "_s + sixty + u" (F12)"_s;
    QTest::newRow("61 characters") << sixty + u'n' << u"Paste to "_s + QString(59, u'n') + u"\u2026 (F12)"_s;
    QTest::newRow("5000 characters") << QString(5000, u'w') << u"Paste to "_s + QString(59, u'w') + u"\u2026 (F12)"_s;
    QTest::newRow("pair across the cut") << QString(58, u'p') + u"\U0001F600\U0001F600"_s
                                         << u"Paste to "_s + QString(58, u'p') + u"\u2026 (F12)"_s;
    QTest::newRow("ampersands") << QString(70, u'&') << u"Paste to "_s + QString(118, u'&') + u"\u2026 (F12)"_s;
}

void TestMainWindow::longTargetIsElidedInSendCaption()
{
    QFETCH(QString, target);
    QFETCH(QString, caption);
    Program p;
    MessageDb::setOption(Setting::Target, target);
    MessageDb::setOption(Setting::HotKey, u"F12"_s);
    TfrmMain& w = p.start();
    QCOMPARE(child<QAction>(w, "actSendFAQ")->text(), caption);
    QCOMPARE(child<QPushButton>(w, "btnPasteToReceivingApp")->text(), caption);
    // The left panel keeps room beside the message panel.
    QVERIFY(w.minimumSizeHint().width() < 1200);
}

void TestMainWindow::optionsDialogAppliesOnOkOnly()
{
    Program p;
    OpenTargetsFile().writeText(u"Sylpheed"_s, u"Target"_s, u"- Compose"_s);
    OpenTargetsFile().writeText(u"Notepad"_s, u"Target"_s, u"- Mousepad"_s);
    MessageDb::setOption(Setting::Target, {});
    p.desktop.activationKey.takenKeys = {Vk::F11 - 1};
    TfrmMain& w = p.start();
    QCOMPARE(p.ui.texts(u"message"_s), QStringList{FirstRunNotice});

    // Runs the Options command; the step acts on the dialog while it is open.
    const auto withOptions = [&](const std::function<void(QDialog&)>& step) {
        bool stepped = false;
        QTimer::singleShot(0, &w, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), u"Options"_s);
            step(*dialog);
            stepped = true;
            if (dialog->isVisible())
                dialog->reject();
        });
        child<QAction>(w, "actOptions")->trigger();
        QVERIFY(stepped);
        QVERIFY(!QApplication::activeModalWidget());
    };
    const auto press = [](QDialog& dialog, const char* field, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(dialog.findChild<QWidget*>(QLatin1StringView(field)), key, modifiers);
    };
    const auto click = [](QDialog& dialog, const char* button) {
        dialog.findChild<QPushButton*>(QLatin1StringView(button))->click();
    };

    withOptions([&](QDialog& dialog) {
        press(dialog, "hkHotKey", Qt::Key_F5, {});
        click(dialog, "btnCancel");
    });
    QCOMPARE(child<QAction>(w, "actSendFAQ")->text(), u"Send Message"_s);
    QCOMPARE(w.SendHotKey(), (HotKey{Vk::F12, 0}));

    // The preselected Notepad, Shift+F11 to send, F10 to activate: held by another program.
    withOptions([&](QDialog& dialog) {
        press(dialog, "hkHotKey", Qt::Key_F11, Qt::ShiftModifier);
        press(dialog, "hkActivate", Qt::Key_F10, {});
        click(dialog, "btnOK");
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.findChild<QLabel*>(u"lblActivateKeyRefused"_s)->isVisible());
        click(dialog, "btnOK");
        QVERIFY(!dialog.isVisible());
    });
    QCOMPARE(child<QAction>(w, "actSendFAQ")->text(), u"Paste to Notepad (Shift+F11)"_s);
    QCOMPARE(child<QPushButton>(w, "btnPasteToReceivingApp")->text(), u"Paste to Notepad (Shift+F11)"_s);
    QCOMPARE(w.SendHotKey(), (HotKey{Vk::F11, ShiftState::Shift}));
    QCOMPARE(w.ActivateHotKey(), (HotKey{Vk::F11 - 1, 0}));
    QCOMPARE(p.ui.texts(u"message"_s), QStringList{FirstRunNotice});
    QCOMPARE(p.ui.texts(u"error"_s), QStringList{});

    // A free key: no note, and OK closes at once.
    withOptions([&](QDialog& dialog) {
        QVERIFY(dialog.findChild<QLabel*>(u"lblActivateKeyRefused"_s)->isVisible());
        press(dialog, "hkActivate", Qt::Key_F9, {});
        click(dialog, "btnOK");
        QVERIFY(!dialog.isVisible());
    });
    QCOMPARE(p.desktop.activationKey.key, Vk::F1 + 8);
}

void TestMainWindow::functionKeysSwitchSearchTypeAndPassTheKeyOn()
{
    Program p;
    p.db.addMessage(u"One"_s, u"one"_s, u"1"_s);
    TfrmMain& w = p.start();
    child<QLineEdit>(w, "txtSearchTerm")->setText(u"one"_s);
    KeyCounter treeKeys(child<QTreeWidget>(w, "tvFAQs"));
    child<QTreeWidget>(w, "tvFAQs")->setFocus();

    QTest::keyClick(child<QTreeWidget>(w, "tvFAQs"), Qt::Key_F3);
    QCOMPARE(child<QComboBox>(w, "cmbSearchType")->currentText(), u"Keyword"_s);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "txtSearchTerm"));
    QCOMPARE(treeKeys.presses, 1); // the focused control still got the key
    QVERIFY(p.ui.shown.isEmpty()); // and nothing was searched

    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_F4, Qt::ControlModifier);
    QCOMPARE(child<QComboBox>(w, "cmbSearchType")->currentText(), u"Full Text"_s);
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_F2);
    QCOMPARE(child<QComboBox>(w, "cmbSearchType")->currentText(), u"Hotword"_s);

    // The activation key, pressed inside the window, brings the focus to the search box.
    p.desktop.windows.addExistingWindow(w.winId(), w.windowTitle());
    child<QTreeWidget>(w, "tvFAQs")->setFocus();
    QTest::keyClick(child<QTreeWidget>(w, "tvFAQs"), Qt::Key_F11);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "txtSearchTerm"));

    // Enter in the search box searches and goes no further.
    QSignalSpy returns(child<QLineEdit>(w, "txtSearchTerm"), &QLineEdit::returnPressed);
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_Return);
    QCOMPARE(returns.size(), 0);
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"One"_s);
}

void TestMainWindow::treeLoadsOneLevelPerExpansion()
{
    Program p;
    const int group = p.db.addMessage(u"Group"_s, u"g"_s, u"G"_s);
    const int child = p.db.addMessage(u"Child"_s, u"c"_s, u"C"_s, group);
    p.db.addMessage(u"Grandchild"_s, u"gc"_s, u"GC"_s, child);
    p.db.addMessage(u"Leaf"_s, u"leaf"_s, u"L"_s);
    p.start();

    // Only a Message with children gets the placeholder, and nothing below is read yet.
    QCOMPARE(p.children(p.node(u"Group"_s)), QStringList{u"Searching..."_s});
    QCOMPARE(p.node(u"Group"_s)->child(0)->data(0, Qt::UserRole).toInt(), 0);
    QCOMPARE(p.node(u"Leaf"_s)->childCount(), 0);
    QVERIFY(!p.node(u"Child"_s));

    p.node(u"Group"_s)->setExpanded(true);
    QCOMPARE(p.children(p.node(u"Group"_s)), QStringList{u"Child"_s});
    QCOMPARE(p.children(p.node(u"Child"_s)), QStringList{u"Searching..."_s});
    p.node(u"Child"_s)->setExpanded(true);
    QCOMPARE(p.children(p.node(u"Child"_s)), QStringList{u"Grandchild"_s});

    // Collapsing keeps the children; expanding again reads them anew.
    p.node(u"Group"_s)->setExpanded(false);
    p.db.addMessage(u"Added meanwhile"_s, u"am"_s, u"AM"_s, group);
    QCOMPARE(p.children(p.node(u"Group"_s)), QStringList{u"Child"_s});
    p.node(u"Group"_s)->setExpanded(true);
    QCOMPARE(p.children(p.node(u"Group"_s)), (QStringList{u"Added meanwhile"_s, u"Child"_s}));
    QVERIFY(!p.node(u"Child"_s)->isExpanded());
    QVERIFY(!p.node(u"Grandchild"_s));
}

namespace {

// A branch as indented labels, in tree order.
QStringList Branch(QTreeWidgetItem* node, int depth = 0)
{
    QStringList lines{QString(depth, u' ') + node->text(0)};
    for (int i = 0; i < node->childCount(); ++i)
        lines += Branch(node->child(i), depth + 1);
    return lines;
}

void PressExpandAll(QTreeWidget* tree, QTreeWidgetItem* node)
{
    tree->setCurrentItem(node);
    QTest::keyClick(tree, Qt::Key_Asterisk, Qt::NoModifier);
}

} // namespace

void TestMainWindow::expandAllListsEachMessageOnce_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("expanded");
    QTest::addColumn<QStringList>("branch");

    const QString insert = u"insert into FAQ (ID, ShortName, Hotword, Text, GroupID) values "_s;
    QTest::newRow("Message 0 is its own group")
        << QStringList{insert + u"(0, 'Zero', 'z', 'Z', 0), (5, 'Five', 'f', 'F', 0), (6, 'Six', 's', 'S', 5)"_s}
        << QStringList{} << u"Zero"_s << QStringList{u"Zero"_s};
    QTest::newRow("group of Message 0")
        << QStringList{insert + u"(0, 'Zero', 'z', 'Z', 0), (5, 'Five', 'f', 'F', 0), (6, 'Six', 's', 'S', 5)"_s}
        << QStringList{} << u"Five"_s << QStringList{u"Five"_s, u" Six"_s};
    QTest::newRow("cycle made after loading")
        << QStringList{insert + u"(1, 'A', 'a', 'A', 0), (2, 'B', 'b', 'B', 1), (3, 'C', 'c', 'C', 2)"_s}
        << QStringList{u"update FAQ set GroupID = 3 where ID = 1"_s} << u"A"_s
        << QStringList{u"A"_s, u" B"_s, u"  C"_s};
    QTest::newRow("two levels of groups")
        << QStringList{insert
                       + u"(1, 'A', 'a', 'A', 0), (2, 'B', 'b', 'B', 1), (3, 'C', 'c', 'C', 2), "
                         "(4, 'D', 'd', 'D', 1), (5, 'E', 'e', 'E', 0)"_s}
        << QStringList{} << u"A"_s << QStringList{u"A"_s, u" B"_s, u"  C"_s, u" D"_s};
}

void TestMainWindow::expandAllListsEachMessageOnce()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, expanded);
    QFETCH(QStringList, branch);
    Program p;
    for (const QString& sql : before)
        p.db.run(sql);
    p.start();
    for (const QString& sql : after)
        p.db.run(sql);

    PressExpandAll(child<QTreeWidget>(*p.window, "tvFAQs"), p.node(expanded));
    QCOMPARE(Branch(p.node(expanded)), branch);
    // Every node of the branch that has children is open.
    std::function<void(QTreeWidgetItem*)> checkOpen = [&](QTreeWidgetItem* node) {
        QVERIFY2(node->childCount() == 0 || node->isExpanded(), qPrintable(node->text(0)));
        for (int i = 0; i < node->childCount(); ++i)
            checkOpen(node->child(i));
    };
    checkOpen(p.node(expanded));
}

void TestMainWindow::expandAllOfDeepChain()
{
    Program p;
    const int depth = 10000;
    p.db.run(u"with recursive c(n) as (select 1 union all select n + 1 from c where n < %1) "
             "insert into FAQ (ID, ShortName, Hotword, Text, GroupID) "
             "select n, 'L' || n, 'h' || n, 't', n - 1 from c"_s.arg(depth));
    p.start();

    PressExpandAll(child<QTreeWidget>(*p.window, "tvFAQs"), p.node(u"L1"_s));
    // A rebuild opens the whole chain again.
    for (int rebuilt = 0; rebuilt < 2; ++rebuilt) {
        if (rebuilt)
            p.window->RefreshFAQTree();
        QTreeWidgetItem* node = child<QTreeWidget>(*p.window, "tvFAQs")->topLevelItem(0);
        for (int level = 1; level < depth; ++level) {
            QVERIFY2(node->isExpanded() && node->childCount() == 1, qPrintable(node->text(0)));
            node = node->child(0);
        }
        QCOMPARE(node->text(0), u"L%1"_s.arg(depth));
        QCOMPARE(node->childCount(), 0);
    }
}

void TestMainWindow::rebuildRestoresExpansionByMessageID()
{
    Program p;
    const int a = p.db.addMessage(u"A"_s, u"a"_s, u"A"_s);
    const int a1 = p.db.addMessage(u"A1"_s, u"a1"_s, u"A1"_s, a);
    p.db.addMessage(u"A1x"_s, u"a1x"_s, u"A1x"_s, a1);
    const int a2 = p.db.addMessage(u"A2"_s, u"a2"_s, u"A2"_s, a);
    p.db.addMessage(u"A2x"_s, u"a2x"_s, u"A2x"_s, a2);
    const int b = p.db.addMessage(u"B"_s, u"b"_s, u"B"_s);
    p.db.addMessage(u"B1"_s, u"b1"_s, u"B1"_s, b);
    TfrmMain& w = p.start();
    p.node(u"A"_s)->setExpanded(true);
    p.node(u"A1"_s)->setExpanded(true);

    w.RefreshFAQTree();
    QVERIFY(p.node(u"A"_s)->isExpanded());
    QVERIFY(p.node(u"A1"_s)->isExpanded());
    QCOMPARE(p.children(p.node(u"A1"_s)), QStringList{u"A1x"_s});
    QVERIFY(!p.node(u"B"_s)->isExpanded());
    QVERIFY(!p.node(u"B1"_s));
    // A collapsed node inside an opened branch loads its children when expanded.
    QCOMPARE(p.children(p.node(u"A2"_s)), QStringList{u"Searching..."_s});
    p.node(u"A2"_s)->setExpanded(true);
    QCOMPARE(p.children(p.node(u"A2"_s)), QStringList{u"A2x"_s});
    p.node(u"A2"_s)->setExpanded(false);

    // Moved into a collapsed branch, an expanded Message is not opened again.
    p.db.moveMessage(a1, b);
    w.RefreshFAQTree();
    QVERIFY(!p.node(u"A1"_s));
    QCOMPARE(p.children(p.node(u"A"_s)), QStringList{u"A2"_s});
    p.node(u"B"_s)->setExpanded(true);
    QCOMPARE(p.children(p.node(u"B"_s)), (QStringList{u"A1"_s, u"B1"_s}));
    QVERIFY(!p.node(u"A1"_s)->isExpanded());
    QVERIFY(p.ui.shown.isEmpty());
}

void TestMainWindow::showHotwordRelabelsAndIsSaved()
{
    Program p;
    const int a = p.db.addMessage(u"A"_s, u"hwa"_s, u"A"_s);
    p.db.addMessage(u"A1"_s, u"hwa1"_s, u"A1"_s, a);
    TfrmMain& w = p.start();
    p.node(u"A"_s)->setExpanded(true);

    child<QCheckBox>(w, "chkShowHotWord")->setChecked(true);
    QCOMPARE(MessageDb::option(Setting::ShowHotword), u"True"_s);
    QCOMPARE(p.children(nullptr), QStringList{u"A / hwa"_s});
    QCOMPARE(p.children(p.node(u"A / hwa"_s)), QStringList{u"A1 / hwa1"_s});

    child<QCheckBox>(w, "chkShowHotWord")->setChecked(false);
    QCOMPARE(MessageDb::option(Setting::ShowHotword), u"False"_s);
    QCOMPARE(p.children(p.node(u"A"_s)), QStringList{u"A1"_s});
    QVERIFY(p.node(u"A"_s)->isExpanded());
}

void TestMainWindow::unreachableDatabaseEndsProgram()
{
    Program p;
    TfrmMain& w = p.start();
    QCOMPARE(child<QTreeWidget>(w, "tvFAQs")->topLevelItemCount(), 0); // an empty database is no error
    QVERIFY(p.ui.shown.isEmpty());

    QSqlDatabase::database(p.db.module->connectionName()).close();
    w.RefreshFAQTree();
    QCOMPARE(p.ui.texts(u"message"_s),
             QStringList{u"The Tolvane Quillbay database can not be found. Since it is a vital part of this "
                         "program, it will now shut down.Please install the program again. You may wish to "
                         "contact Tolvane QuillBay technical support if the problem persists."_s});
    QVERIFY(w.terminationRequested());
}

void TestMainWindow::singleMessageShownFollowsShowsAndTyping()
{
    Program p;
    p.db.addMessage(u"First"_s, u"first"_s, u"First text"_s);
    p.db.addMessage(u"Second"_s, u"second"_s, u"Second text"_s);
    TfrmMain& w = p.start();

    p.select(u"First"_s);
    QVERIFY(w.SingleMessageShown());
    QCOMPARE(child<TextPreview>(w, "memText")->toPlainText(), u"First text"_s);
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_S);
    QVERIFY(!w.SingleMessageShown());
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"First"_s); // the panel stays
    p.select(u"Second"_s);
    QVERIFY(w.SingleMessageShown());

    // A search without a result leaves the flag as it was, and so does a rebuild.
    child<QLineEdit>(w, "txtSearchTerm")->setText(u"nothing"_s);
    child<QAction>(w, "actSearch")->trigger();
    QVERIFY(!w.SingleMessageShown());
    child<QLineEdit>(w, "txtSearchTerm")->setText(u"second"_s);
    child<QAction>(w, "actSearch")->trigger();
    QVERIFY(w.SingleMessageShown());
    child<QAction>(w, "actSearch")->trigger();
    QVERIFY(w.SingleMessageShown());
    w.RefreshFAQTree();
    QVERIFY(w.SingleMessageShown());
    QCOMPARE(w.faqTree().SelectedFAQID(), -1);
}

void TestMainWindow::searchOutcomes()
{
    Program p;
    const int one = p.db.addMessage(u"Returns"_s, u"ret"_s, u"How to return goods"_s);
    const int two = p.db.addMessage(u"Refunds"_s, u"ref"_s, u"Refund policy"_s);
    p.db.addKeyword(one, u"money"_s);
    p.db.addKeyword(two, u"money"_s);
    for (int i = 0; i < 55; ++i)
        p.db.addMessage(u"Bulk %1"_s.arg(i, 2, 10, QChar(u'0')), u"bulk%1"_s.arg(i), u"common phrase %1"_s.arg(i));
    TfrmMain& w = p.start();
    p.select(u"Returns"_s);

    child<QLineEdit>(w, "txtSearchTerm")->clear();
    child<QLineEdit>(w, "txtSearchTerm")->setFocus();
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_Return);
    QCOMPARE(p.ui.texts(u"message"_s), QStringList{u"Please enter a search term and try again."_s});
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "txtSearchTerm"));
    QCOMPARE(p.ui.busyChanges, 0);
    p.ui.clear();

    // Blanks are a term like any other, and the term is selected afterwards.
    p.search(0, u"   "_s);
    p.search(1, u"nokeyword"_s);
    p.search(2, u"zzzz"_s);
    QCOMPARE(p.ui.texts(u"message"_s),
             (QStringList{u"No matching records found using HotWord search"_s,
                          u"No matching records found using keyword search"_s,
                          u"No matching records found using full text search"_s}));
    QCOMPARE(child<QLineEdit>(w, "txtSearchTerm")->selectedText(), u"zzzz"_s);
    QVERIFY(!p.ui.busy);
    QCOMPARE(p.ui.busyChanges, 6);
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Returns"_s);
    QVERIFY(!p.window->selectDialog().isVisible());

    p.search(0, u"REF"_s);
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Refunds"_s);
    QCOMPARE(child<TextPreview>(w, "memText")->toPlainText(), u"Refund policy"_s);
    QCOMPARE(child<QLabel>(w, "lblFAQHotword")->text(), u"ref"_s);
    QCOMPARE(w.ShownMessageID(), two);

    // Several rows go to the dialog, first row selected; the panel waits for a pick.
    p.search(1, u"money"_s);
    QVERIFY(p.window->selectDialog().isVisible());
    QCOMPARE(p.dialogRows(), (QStringList{u"Refunds"_s, u"Returns"_s}));
    QCOMPARE(child<QTreeWidget>(p.window->selectDialog(), "lvFAQs")->selectedItems().value(0)->text(0),
             QString::number(two));
    QCOMPARE(child<TextPreview>(p.window->selectDialog(), "memFullText")->toPlainText(), u"Refund policy"_s);
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Refunds"_s);

    p.search(2, u"common phrase"_s);
    QCOMPARE(p.dialogRows().size(), 50);
    QCOMPARE(child<QLineEdit>(w, "txtSearchTerm")->selectedText(), u"common phrase"_s);
    QCOMPARE(p.ui.texts(u"message"_s).size(), 3);
}

void TestMainWindow::searchFailureRestoresCursorAndKeepsRunning()
{
    Program p;
    p.start();
    QSqlDatabase::database(p.db.module->connectionName()).close();
    p.search(0, u"anything"_s);
    QCOMPARE(p.ui.texts(u"error"_s).size(), 1);
    QCOMPARE(p.ui.shown.back().caption, u"Tolvane Quillbay"_s);
    QVERIFY(!p.ui.busy);
}

void TestMainWindow::notesEnableTheNotesCommand()
{
    Program p;
    p.db.addMessage(u"Blank notes"_s, u"blank"_s, u"x"_s, 0, u" \r\n\t  \r\n"_s);
    p.db.addMessage(u"One char"_s, u"onechar"_s, u"x"_s, 0, u"\r\n  ! \r\n"_s);
    p.db.addMessage(u"No notes"_s, u"none"_s, u"x"_s, 0, {});
    TfrmMain& w = p.start();

    p.select(u"One char"_s);
    QCOMPARE(w.ShownNotes(), u"!"_s);
    QVERIFY(child<QAction>(w, "actViewInternalNotes")->isEnabled());
    QVERIFY(child<QPushButton>(w, "btnInternalComments")->isEnabled());
    QCOMPARE(child<QPushButton>(w, "btnInternalComments")->text(), u"Notes"_s);
    p.select(u"Blank notes"_s);
    QCOMPARE(w.ShownNotes(), QString());
    QVERIFY(!child<QAction>(w, "actViewInternalNotes")->isEnabled());
    QVERIFY(!child<QPushButton>(w, "btnInternalComments")->isEnabled());
    p.select(u"One char"_s);
    p.select(u"No notes"_s);
    QVERIFY(!child<QAction>(w, "actViewInternalNotes")->isEnabled());
}

void TestMainWindow::attachmentsLabelListsExistingFiles()
{
    Program p;
    const QString a = p.db.folder.filePath(u"a.pdf"_s);
    const QString b = p.db.folder.filePath(u"b.pdf"_s);
    const QString c = p.db.folder.filePath(u"c.pdf"_s);
    for (const QString& file : {a, c}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const int id = p.db.addMessage(u"With files"_s, u"files"_s, u"x"_s);
    p.db.addAttachment(id, a, false);
    p.db.addAttachment(id, b, false); // missing on disk
    p.db.addAttachment(id, c, true);
    p.db.addAttachment(id, p.db.folder.path(), false); // a folder is no file
    TfrmMain& w = p.start();
    QCOMPARE(child<QLabel>(w, "lblAttachments")->text(), u"Attachments"_s);

    QTest::mouseClick(child<QLabel>(w, "lblAttachments"), Qt::LeftButton);
    QCOMPARE(p.ui.texts(u"message"_s),
             QStringList{u"There are no attachments for this message. Click the \"Edit Current Message\" "
                         "button to add some."_s});
    QVERIFY(p.desktop.clipboard.history.isEmpty());
    p.ui.clear();

    p.select(u"With files"_s);
    QCOMPARE(child<QLabel>(w, "lblAttachments")->text(), u"Attachments: 2"_s);
    QCOMPARE(w.ShownAttachments(), (QList<ShownAttachment>{{a, false}, {c, true}}));
    QTest::mouseClick(child<QLabel>(w, "lblAttachments"), Qt::LeftButton);
    QCOMPARE(p.desktop.clipboard.files, (QStringList{a, c}));
    QCOMPARE(p.ui.texts(u"message"_s), QStringList{a + u"\r\n"_s + c + u" (Ask first)\r\n"_s});

    // The label lights up while the pointer is over it.
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(child<QLabel>(w, "lblAttachments"), &enter);
    QCOMPARE(child<QLabel>(w, "lblAttachments")->backgroundRole(), QPalette::Base);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(child<QLabel>(w, "lblAttachments"), &leave);
    QCOMPARE(child<QLabel>(w, "lblAttachments")->backgroundRole(), QPalette::Button);
}

void TestMainWindow::showingDeletedMessageKeepsPanel()
{
    Program p;
    const int kept = p.db.addMessage(u"Kept"_s, u"kept"_s, u"Kept text"_s, 0, u"note"_s);
    const int gone = p.db.addMessage(u"Gone"_s, u"gone"_s, u"Gone text"_s);
    TfrmMain& w = p.start();
    p.select(u"Kept"_s);
    QCOMPARE(p.db.module->CurrentMessageID(), std::optional<int>(kept));
    QCOMPARE(p.db.module->PendingMessage().hotword, u"kept"_s);
    p.db.deleteMessage(gone);
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_X);

    w.ShowFAQByID(gone);
    QCOMPARE(p.ui.texts(u"message"_s), QStringList{u"No matching records found"_s});
    QCOMPARE(w.ShownMessageID(), gone);
    QCOMPARE(p.db.module->CurrentMessageID(), std::nullopt);
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Kept"_s);
    QCOMPARE(child<TextPreview>(w, "memText")->toPlainText(), u"Kept text"_s);
    QCOMPARE(w.ShownNotes(), u"note"_s);
    QVERIFY(child<QAction>(w, "actViewInternalNotes")->isEnabled());
    QVERIFY(!w.SingleMessageShown());
}

void TestMainWindow::selectDialogPicksRefillsAndCancels()
{
    Program p;
    for (const QString& name : {u"Red"_s, u"Green"_s, u"Blue"_s}) {
        const int id = p.db.addMessage(name, name.toLower(), name + u" text\r\nsecond line"_s);
        p.db.addKeyword(id, u"colour"_s);
        if (name != u"Blue"_s)
            p.db.addKeyword(id, u"warm"_s);
    }
    TfrmMain& w = p.start();
    p.search(1, u"colour"_s);
    TfrmSelectFAQ& dialog = p.window->selectDialog();
    auto* lvFAQs = child<QTreeWidget>(dialog, "lvFAQs");
    auto* memFullText = child<TextPreview>(dialog, "memFullText");
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QCOMPARE(dialog.windowTitle(), u"Select a Message"_s);
    QCOMPARE(p.dialogRows(), (QStringList{u"Blue"_s, u"Green"_s, u"Red"_s}));
    QCOMPARE(memFullText->toPlainText(), u"Blue text\nsecond line"_s);

    // A second search replaces the rows.
    p.search(1, u"warm"_s);
    QCOMPARE(p.dialogRows(), (QStringList{u"Green"_s, u"Red"_s}));

    // Coming back to the main window from the dialog selects the search term.
    dialog.activateWindow();
    QTRY_COMPARE(QGuiApplication::focusWindow(), dialog.windowHandle());
    child<QLineEdit>(w, "txtSearchTerm")->deselect();
    w.activateWindow();
    QTRY_COMPARE(QGuiApplication::focusWindow(), w.windowHandle());
    QCOMPARE(child<QLineEdit>(w, "txtSearchTerm")->selectedText(), u"warm"_s);

    // Esc closes without touching the main window.
    dialog.ShowNonModal();
    QTest::keyClick(lvFAQs, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), QString());
    QVERIFY(!w.SingleMessageShown());

    // With no row selected, Select does nothing.
    dialog.ShowNonModal();
    lvFAQs->clearSelection();
    child<QPushButton>(dialog, "btnSelect")->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), QString());

    // Picking the second row previews it; Enter shows it and closes the dialog.
    lvFAQs->setCurrentItem(lvFAQs->topLevelItem(1));
    QCOMPARE(memFullText->toPlainText(), u"Red text\nsecond line"_s);
    lvFAQs->setFocus();
    QTest::keyClick(lvFAQs, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Red"_s);
    QCOMPARE(child<TextPreview>(w, "memText")->toPlainText(), u"Red text\nsecond line"_s);
    QVERIFY(w.SingleMessageShown());

    p.search(1, u"warm"_s);
    const QRect row = lvFAQs->visualItemRect(lvFAQs->topLevelItem(0));
    QTest::mouseDClick(lvFAQs->viewport(), Qt::LeftButton, {}, row.center());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(child<QLabel>(w, "lblFAQTitle")->text(), u"Green"_s);
}

void TestMainWindow::resultCellShowsFirstLineOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cell");

    const QString line300(300, u'x');
    QTest::newRow("one short line") << u"Hello there"_s << u"Hello there"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("LF") << u"Dear all,\nthanks"_s << u"Dear all,"_s;
    QTest::newRow("CR LF") << u"Dear all,\r\nthanks"_s << u"Dear all,"_s;
    QTest::newRow("CR") << u"Dear all,\rthanks"_s << u"Dear all,"_s;
    QTest::newRow("first line empty") << u"\nsecond"_s << QString();
    QTest::newRow("300 exactly") << line300 << line300;
    QTest::newRow("300 then a break") << line300 + u"\nmore"_s << line300;
    QTest::newRow("1 MB one line") << QString(1 << 20, u'y') << QString(300, u'y') + u'\u2026';
    QTest::newRow("pair across the cut") << QString(299, u'z') + u"\U0001F600tail"_s << QString(299, u'z') + u'\u2026';
}

void TestMainWindow::resultCellShowsFirstLineOnly()
{
    QFETCH(QString, text);
    QFETCH(QString, cell);
    Program p;
    p.create();
    p.window->selectDialog().ClearResults();
    p.window->selectDialog().AddResult(u"7"_s, u"Name"_s, text);
    p.window->selectDialog().SelectFirstResult();
    QCOMPARE(child<QTreeWidget>(p.window->selectDialog(), "lvFAQs")->topLevelItem(0)->text(2), cell);
    // The preview keeps the whole text.
    if (!text.contains(u'\r'))
        QCOMPARE(child<TextPreview>(p.window->selectDialog(), "memFullText")->previewText(), text);
}

void TestMainWindow::hugeMessageIsShownAndSentWhole()
{
    Program p;
    const QString text = u"Dear all,\n"_s + QString(1 << 20, u'q') + u"\nbye"_s;
    p.db.addMessage(u"Huge"_s, u"huge"_s, text);
    TfrmMain& w = p.start();
    p.select(u"Huge"_s);
    // Held in pieces that are laid out one at a time, never as one megabyte line.
    for (QTextBlock block = child<TextPreview>(w, "memText")->document()->begin(); block.isValid();
         block = block.next())
        QVERIFY(block.length() - 1 <= TextPreview::MaxPieceLength);
    QCOMPARE(child<TextPreview>(w, "memText")->previewText(), text);

    // Into the window of another program that the user came from.
    MessageDb::setOption(Setting::Target, u"The window I came from"_s);
    p.desktop.windows.active = p.desktop.windows.addWindow(u"Mail"_s);
    w.RememberActiveWindow();
    child<QAction>(w, "actSendFAQ")->trigger();
    QVERIFY(!p.desktop.clipboard.history.isEmpty());
    QCOMPARE(p.desktop.clipboard.history.front(), text);
}

void TestMainWindow::synchronizeFindsShownMessageInCollapsedBranch()
{
    Program p;
    const int top = p.db.addMessage(u"Top"_s, u"top"_s, u"t"_s);
    const int mid = p.db.addMessage(u"Mid"_s, u"mid"_s, u"m"_s, top);
    p.db.addMessage(u"Deep"_s, u"deep"_s, u"d"_s, mid);
    p.db.addMessage(u"Other"_s, u"other"_s, u"o"_s);
    TfrmMain& w = p.start();
    p.node(u"Top"_s)->setExpanded(true);
    p.node(u"Mid"_s)->setExpanded(true);
    p.node(u"Top"_s)->setExpanded(false);
    p.search(0, u"deep"_s);
    p.select(u"Other"_s);
    p.search(0, u"deep"_s);

    child<QAction>(w, "actSynchronize")->trigger();
    QCOMPARE(child<QTreeWidget>(w, "tvFAQs")->currentItem()->text(0), u"Deep"_s);
    QVERIFY(p.node(u"Top"_s)->isExpanded());
    QVERIFY(p.node(u"Mid"_s)->isExpanded());
    QVERIFY(p.ui.shown.isEmpty());
    QVERIFY(!child<QAction>(w, "actSynchronize")->isVisible());
    QVERIFY(!child<QAction>(w, "actUsageReport")->isVisible());
}

void TestMainWindow::helpCommands()
{
    Program p;
    TfrmMain& w = p.start();
    // F1 opens the help file beside the program.
    p.ui.runFileResult = 42;
    QTest::keyClick(child<QLineEdit>(w, "txtSearchTerm"), Qt::Key_F1);
    QCOMPARE(p.ui.texts(u"run"_s), QStringList{p.db.folder.filePath(u"quillbay.chm"_s)});
    QVERIFY(p.ui.texts(u"message"_s).isEmpty());

    // A shell that fails outright is reported, and the program goes on.
    p.ui.runFileResult = -1;
    child<QAction>(w, "actHelpContents")->trigger();
    QVERIFY(p.ui.texts(u"message"_s).value(0).startsWith(u"An error occurred while trying to run "_s));
    QCOMPARE(p.ui.texts(u"error"_s), QStringList{u"cannot run"_s});

    // About says where the settings and the Messages are.
    child<QAction>(w, "actAbout")->trigger();
    const QStringList about = p.ui.texts(u"message"_s).last().split(u"\r\n"_s);
    QCOMPARE(about.first(), u"Tolvane Quillbay v1.1"_s);
    QCOMPARE(about.mid(about.size() - 2),
             (QStringList{u"Settings: "_s + QDir::toNativeSeparators(p.db.folder.path()),
                          u"Messages: "_s + QDir::toNativeSeparators(p.db.folder.filePath(u"test.db"_s))}));
}

void TestMainWindow::lastResortGuardReportsEscapedErrors()
{
    // An object whose event handler lets an error escape, as no handler of ours may.
    class Throwing : public QObject {
    protected:
        bool event(QEvent*) override { throw Error(u"escaped"_s); }
    };
    ScriptedInteraction ui;
    auto* application = static_cast<GuardedApplication*>(QCoreApplication::instance());
    application->setErrorBoxes(&ui);
    Throwing object;
    QEvent event(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&object, &event));
    application->setErrorBoxes(nullptr);
    QCOMPARE(ui.texts(u"error"_s), QStringList{u"escaped"_s});
}

int main(int argc, char** argv)
{
    GuardedApplication application(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
