#include "dialogs/fShowData.h"
#include "dialogs/qtinteraction.h"
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "util/errors.h"

#include "childbyname.h"
#include "messagedb.h"
#include "scriptedinteraction.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct Seen {
    bool opened = false;
    QString name;
    QString caption;
    QString text;
    bool readOnly = false;
    QRect bounds; // frame position and size
};

// Runs a command that opens a modal text window; records the window and closes it with
// closeKey pressed in its focused control (or the title bar's close when closeKey is 0).
Seen RunModal(Interaction& boxes, const std::function<void()>& command, int closeKey = Qt::Key_Escape,
              const std::function<void(TfrmShowData&)>& whileOpen = {})
{
    Seen seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TfrmShowData*>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        poll.stop();
        seen.opened = true;
        seen.name = form->objectName();
        seen.caption = form->windowTitle();
        const auto* memData = child<QPlainTextEdit>(*form, "memData");
        seen.text = memData->toPlainText();
        seen.readOnly = memData->isReadOnly();
        seen.bounds = form->frameGeometry();
        if (whileOpen)
            whileOpen(*form);
        if (closeKey)
            QTest::keyClick(form->focusWidget() ? form->focusWidget() : form, Qt::Key(closeKey));
        else
            form->close();
    });
    poll.start();
    Guarded(boxes, command);
    return seen;
}

QSize Screen()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

void SetNotesPlace(const QString& left, const QString& top, const QString& width, const QString& height)
{
    MessageDb::setOption(Setting::NotesFormLeft, left);
    MessageDb::setOption(Setting::NotesFormTop, top);
    MessageDb::setOption(Setting::NotesFormWidth, width);
    MessageDb::setOption(Setting::NotesFormHeight, height);
}

QStringList NotesPlace()
{
    return {MessageDb::option(Setting::NotesFormLeft), MessageDb::option(Setting::NotesFormTop),
            MessageDb::option(Setting::NotesFormWidth), MessageDb::option(Setting::NotesFormHeight)};
}

} // namespace

class TestShowData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void notesOpenAtDesignPlaceAndSaveIt();
    void notesPlaceIsClamped();
    void invalidRememberedValueStopsTheCommand();
    void hotwordListAndUsageReport();
    void databaseErrorOpensNoWindow();
    void fileFilterConversion();
};

void TestShowData::notesOpenAtDesignPlaceAndSaveIt()
{
    ScriptedInteraction ui;
    MessageDb db;
    Options options(OptionsFilePath());
    const Seen seen = RunModal(ui, [&] { ShowInternalNotes(u"Line one\r\nLine two"_s, options, nullptr); });
    QVERIFY(seen.opened);
    QCOMPARE(seen.name, u"frmShowData"_s);
    QCOMPARE(seen.caption, u"Internal Notes On Message"_s);
    QCOMPARE(seen.text, u"Line one\nLine two"_s);
    QVERIFY(seen.readOnly);
    QCOMPARE(seen.bounds, QRect(192, 107, 312, 297));
    QCOMPARE(NotesPlace(), (QStringList{u"192"_s, u"107"_s, u"312"_s, u"297"_s}));

    // Moved and closed by the title bar, the new place is remembered.
    SetNotesPlace(u"20"_s, u"30"_s, u"400"_s, u"200"_s);
    const Seen again = RunModal(
        ui, [&] { ShowInternalNotes(u"x"_s, options, nullptr); }, 0, [](TfrmShowData& form) { form.move(40, 50); });
    QCOMPARE(again.bounds, QRect(20, 30, 400, 200));
    QCOMPARE(NotesPlace(), (QStringList{u"40"_s, u"50"_s, u"400"_s, u"200"_s}));
    QVERIFY(ui.shown.isEmpty());
}

void TestShowData::notesPlaceIsClamped()
{
    ScriptedInteraction ui;
    MessageDb db;
    Options options(OptionsFilePath());
    const QSize screen = Screen();
    auto placed = [&](const QString& l, const QString& t, const QString& w, const QString& h) {
        SetNotesPlace(l, t, w, h);
        return RunModal(ui, [&] { ShowInternalNotes(u"x"_s, options, nullptr); }).bounds;
    };
    // Left and top stay 50 pixels inside the screen; a width below 100 is raised.
    QCOMPARE(placed(u"5000"_s, u"-20"_s, u"50"_s, u"10"_s),
             QRect(screen.width() - 50, 0, 50, 50)); // width: upper bound 50 wins over 100
    QCOMPARE(placed(u"10"_s, u"5000"_s, u"50"_s, u"5000"_s), QRect(10, screen.height() - 50, 100, 50));
    QCOMPARE(placed(u"10"_s, u"20"_s, u"9000"_s, u"9000"_s), QRect(10, 20, screen.width() - 10, screen.height() - 20));
    QCOMPARE(
        NotesPlace(),
        (QStringList{u"10"_s, u"20"_s, QString::number(screen.width() - 10), QString::number(screen.height() - 20)}));
}

void TestShowData::invalidRememberedValueStopsTheCommand()
{
    ScriptedInteraction ui;
    MessageDb db;
    Options options(OptionsFilePath());
    SetNotesPlace(u"10"_s, u"abc"_s, u"300"_s, u"200"_s);
    const Seen seen = RunModal(ui, [&] { ShowInternalNotes(u"x"_s, options, nullptr); });
    QVERIFY(!seen.opened);
    QCOMPARE(
        ui.texts(u"error"_s),
        QStringList{u"'abc' is not a valid integer value: key \"Notes Form Top\" in section [Startup Settings] of "_s
                    + QDir::toNativeSeparators(OptionsFilePath()) + u'.'});
    QCOMPARE(NotesPlace(), (QStringList{u"10"_s, u"abc"_s, u"300"_s, u"200"_s}));
}

void TestShowData::hotwordListAndUsageReport()
{
    ScriptedInteraction ui;
    MessageDb db;
    Options options(OptionsFilePath());
    const Seen empty = RunModal(ui, [&] { ShowHotwordList(*db.module, nullptr); });
    QVERIFY(empty.opened);
    QCOMPARE(empty.text, QString());

    const int banana = db.addMessage(u"Yellow fruit"_s, u"Banana"_s, u"b"_s);
    const int apple = db.addMessage(u"Red fruit"_s, u"apple"_s, u"a"_s);
    const Seen list = RunModal(
        ui, [&] { ShowHotwordList(*db.module, nullptr); }, Qt::Key_Return,
        [](TfrmShowData& form) {
            QVERIFY(!child<QPlainTextEdit>(form, "memData")->isReadOnly());
            child<QPushButton>(form, "btnClose")->setFocus();
        });
    QCOMPARE(list.caption, u"HotWord List"_s);
    QCOMPARE(list.text, u"apple : Red fruit\nBanana : Yellow fruit\n"_s);

    for (const auto& [id, action] : {std::pair{apple, u"Used"_s},
                                     {banana, u"Used"_s},
                                     {banana, u"Used"_s},
                                     {apple, u"Viewed"_s},
                                     {apple, u"Viewed"_s},
                                     {apple, u"Viewed"_s}})
        db.run(u"insert into FAQAction (FAQID, Action) values (?, ?)"_s, {id, action});
    const Seen report = RunModal(ui, [&] { ShowUsageReport(*db.module, nullptr); });
    QCOMPARE(report.caption, u"HotWord List"_s);
    QCOMPARE(report.text, u"Yellow fruit : 2\nRed fruit : 1\n"_s);
    QVERIFY(ui.shown.isEmpty());
}

void TestShowData::databaseErrorOpensNoWindow()
{
    ScriptedInteraction ui;
    MessageDb db;
    Options options(OptionsFilePath());
    db.run(u"drop table FAQAction"_s);
    const Seen seen = RunModal(ui, [&] { ShowUsageReport(*db.module, nullptr); });
    QVERIFY(!seen.opened);
    QCOMPARE(ui.texts(u"error"_s).size(), 1);
    QVERIFY(ui.texts(u"error"_s).front().contains(u"faqaction"_s, Qt::CaseInsensitive));
}

void TestShowData::fileFilterConversion()
{
    QCOMPARE(QtFileFilter(u"Documents|*.doc;*.pdf|All files|*.*"_s), u"Documents (*.doc *.pdf);;All files (*.*)"_s);
    QCOMPARE(QtFileFilter(u"All|*.*"_s), u"All (*.*)"_s);
    QCOMPARE(QtFileFilter({}), QString());
}

QTEST_MAIN(TestShowData)
#include "tst_showdata.moc"
