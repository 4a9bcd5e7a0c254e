#include "dialogs/qtinteraction.h"

#include "childbyname.h"
#include "platform/fake/fakeplatform.h"
#include "util/errors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Runs answer on the modal window once it is open. The timer stops when it has answered,
// so a test can tell that a box did open.
std::unique_ptr<QTimer> AnswerModal(std::function<void(QWidget&)> answer)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(10);
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [timer = timer.get(), answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        answer(*modal);
    });
    timer->start();
    return timer;
}

QString WithoutAccelerator(QString text)
{
    return text.remove(u'&');
}

// The buttons' texts in a stable order: the platform decides where each one goes.
QStringList ButtonTexts(const QList<QAbstractButton*>& buttons)
{
    QStringList texts;
    for (const QAbstractButton* button : buttons)
        texts.append(WithoutAccelerator(button->text()));
    texts.sort();
    return texts;
}

// Presses the button of that text, or Esc for "Esc" and Enter for "Enter".
void Press(QWidget& box, const QList<QAbstractButton*>& buttons, const QString& press)
{
    if (press == u"Esc"_s || press == u"Enter"_s) {
        QTest::keyClick(&box, press == u"Esc"_s ? Qt::Key_Escape : Qt::Key_Return);
        return;
    }
    for (QAbstractButton* button : buttons) {
        if (WithoutAccelerator(button->text()) == press) {
            button->click();
            return;
        }
    }
    qFatal("no button %s", qUtf8Printable(press));
}

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons;
};

// Answers the next message box by pressing press, noting what it showed.
std::unique_ptr<QTimer> AnswerBox(SeenBox& seen, const QString& press)
{
    return AnswerModal([&seen, press](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (!box)
            qFatal("not a message box: %s", modal.metaObject()->className());
        seen = {box->windowTitle(), box->text(), box->icon(), box->textFormat(), ButtonTexts(box->buttons())};
        Press(*box, box->buttons(), press);
    });
}

enum class Box { Message, Warning, Error, Confirm, ConfirmDefaultNo };

const QString Title = u"Tolvane Quillbay"_s;

} // namespace

Q_DECLARE_METATYPE(Box)
Q_DECLARE_METATYPE(std::optional<QString>)

class TestQtInteraction : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void boxes_data();
    void boxes();
    void choose_data();
    void choose();
    void inputText_data();
    void inputText();
    void runFileGoesToTheOpener();
};

void TestQtInteraction::boxes_data()
{
    QTest::addColumn<Box>("box");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<bool>("answer"); // confirmations only

    const QStringList ok{u"OK"_s};
    const QStringList yesNo{u"No"_s, u"Yes"_s};
    QTest::newRow("message OK") << Box::Message << Title << QMessageBox::NoIcon << ok << u"OK"_s << false;
    QTest::newRow("message Esc") << Box::Message << Title << QMessageBox::NoIcon << ok << u"Esc"_s << false;
    QTest::newRow("warning") << Box::Warning << u"Warning"_s << QMessageBox::Warning << ok << u"OK"_s << false;
    QTest::newRow("error") << Box::Error << Title << QMessageBox::Critical << ok << u"OK"_s << false;
    QTest::newRow("confirm Yes") << Box::Confirm << u"Confirm"_s << QMessageBox::Question << yesNo << u"Yes"_s << true;
    QTest::newRow("confirm No") << Box::Confirm << u"Confirm"_s << QMessageBox::Question << yesNo << u"No"_s << false;
    QTest::newRow("confirm Esc") << Box::Confirm << u"Confirm"_s << QMessageBox::Question << yesNo << u"Esc"_s << false;
    QTest::newRow("confirm Enter") << Box::Confirm << u"Confirm"_s << QMessageBox::Question << yesNo << u"Enter"_s
                                   << true;
    QTest::newRow("confirm default No, Enter")
        << Box::ConfirmDefaultNo << u"Confirm"_s << QMessageBox::Question << yesNo << u"Enter"_s << false;
    QTest::newRow("confirm default No, Yes")
        << Box::ConfirmDefaultNo << u"Confirm"_s << QMessageBox::Question << yesNo << u"Yes"_s << true;
}

void TestQtInteraction::boxes()
{
    QFETCH(Box, box);
    QFETCH(QString, caption);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QStringList, buttons);
    QFETCH(QString, press);
    QFETCH(bool, answer);

    QtInteraction interaction;
    // Markup stays text, and CR LF breaks a line once.
    const QString text = u"Line <b>one</b>\r\nLine two"_s;
    SeenBox seen;
    const auto answering = AnswerBox(seen, press);
    switch (box) {
    case Box::Message: interaction.showMessage(text); break;
    case Box::Warning: interaction.showWarning(text); break;
    case Box::Error: interaction.showError(text); break;
    case Box::Confirm: QCOMPARE(interaction.confirmYesNo(text), answer); break;
    case Box::ConfirmDefaultNo: QCOMPARE(interaction.confirmYesNoDefaultNo(text), answer); break;
    }
    QVERIFY2(!answering->isActive(), "no box opened");
    QCOMPARE(seen.caption, caption);
    QCOMPARE(seen.text, u"Line <b>one</b>\nLine two"_s);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.icon, icon);
    QCOMPARE(seen.buttons, buttons);
}

void TestQtInteraction::choose_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");

    QTest::newRow("first") << u"Send now"_s << 0;
    QTest::newRow("middle") << u"Save"_s << 1;
    QTest::newRow("last") << u"Discard"_s << 2;
    QTest::newRow("Esc is the last") << u"Esc"_s << 2;
}

void TestQtInteraction::choose()
{
    QFETCH(QString, press);
    QFETCH(int, answer);

    QtInteraction interaction;
    SeenBox seen;
    QString defaultButton;
    const auto answering = AnswerModal([&](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (!box)
            qFatal("not a message box: %s", modal.metaObject()->className());
        seen = {box->windowTitle(), box->text(), box->icon(), box->textFormat(), ButtonTexts(box->buttons())};
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        Press(*box, box->buttons(), press);
    });
    QCOMPARE(interaction.choose(u"Keep it?\r\n<i>unsent</i>"_s, {u"Send now"_s, u"Save"_s, u"Discard"_s}), answer);
    QVERIFY2(!answering->isActive(), "no box opened");
    QCOMPARE(seen.caption, Title);
    QCOMPARE(seen.text, u"Keep it?\n<i>unsent</i>"_s);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.icon, QMessageBox::Question);
    QCOMPARE(seen.buttons, (QStringList{u"Discard"_s, u"Save"_s, u"Send now"_s}));
    QCOMPARE(defaultButton, u"Send now"_s);
}

void TestQtInteraction::inputText_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("shown"); // the line as the box opens
    QTest::addColumn<QString>("typed"); // replaces the selected value; null types nothing
    QTest::addColumn<QString>("press");
    QTest::addColumn<std::optional<QString>>("answer");

    QTest::newRow("OK keeps the value") << u"Mail"_s << 255 << u"Mail"_s << QString() << u"OK"_s
                                        << std::optional<QString>(u"Mail"_s);
    QTest::newRow("typing replaces the value")
        << u"Mail"_s << 255 << u"Mail"_s << u"Editor"_s << u"OK"_s << std::optional<QString>(u"Editor"_s);
    QTest::newRow("empty OK is no cancel")
        << QString() << 255 << QString() << QString() << u"OK"_s << std::optional<QString>(u""_s);
    QTest::newRow("value cut to max length")
        << u"abcdefgh"_s << 5 << u"abcde"_s << QString() << u"OK"_s << std::optional<QString>(u"abcde"_s);
    QTest::newRow("typing stops at max length")
        << QString() << 3 << QString() << u"xyzzy"_s << u"OK"_s << std::optional<QString>(u"xyz"_s);
    QTest::newRow("Cancel") << u"Mail"_s << 255 << u"Mail"_s << u"Editor"_s << u"Cancel"_s << std::optional<QString>();
    QTest::newRow("Esc") << u"Mail"_s << 255 << u"Mail"_s << QString() << u"Esc"_s << std::optional<QString>();
}

void TestQtInteraction::inputText()
{
    QFETCH(QString, value);
    QFETCH(int, maxLength);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, press);
    QFETCH(std::optional<QString>, answer);

    QtInteraction interaction;
    QString caption, prompt, line, selected;
    QStringList buttons;
    bool promptLabelsLine = false;
    const auto answering = AnswerModal([&](QWidget& dialog) {
        caption = dialog.windowTitle();
        prompt = child<QLabel>(dialog, "lblPrompt")->text();
        auto* edit = child<QLineEdit>(dialog, "edtValue");
        line = edit->text();
        selected = edit->selectedText();
        promptLabelsLine = child<QLabel>(dialog, "lblPrompt")->buddy() == edit;
        const QList<QAbstractButton*> all = child<QDialogButtonBox>(dialog, "btnsOKCancel")->buttons();
        buttons = ButtonTexts(all);
        if (!typed.isNull())
            QTest::keyClicks(edit, typed);
        Press(dialog, all, press);
    });
    const std::optional<QString> result
        = interaction.inputText(u"Add Destination"_s, u"Name of the\r\ndestination:"_s, value, maxLength);
    QVERIFY2(!answering->isActive(), "no box opened");
    QCOMPARE(caption, u"Add Destination"_s);
    QCOMPARE(prompt, u"Name of the\ndestination:"_s);
    QVERIFY(promptLabelsLine);
    QCOMPARE(line, shown);
    QCOMPARE(selected, shown);
    QCOMPARE(buttons, (QStringList{u"Cancel"_s, u"OK"_s}));
    QCOMPARE(result, answer);
}

void TestQtInteraction::runFileGoesToTheOpener()
{
    QtInteraction interaction;
    // Without a desktop nothing is opened, and no made-up result stands for that.
    QVERIFY_THROWS_EXCEPTION(Error, interaction.runFile(u"quillbay.chm"_s, {}, 1, {}));
    QStringList journal;
    FakeFileOpener files(journal);
    interaction.setFileOpener(&files);
    for (const int result : {42, 2, 31}) {
        files.result = result;
        QCOMPARE(interaction.runFile(u"C:/Quillbay/quillbay.chm"_s, u"-p"_s, 3, u"C:/Quillbay"_s), result);
    }
    QCOMPARE(files.opened.size(), 3);
    QCOMPARE(files.opened.first(), u"C:/Quillbay/quillbay.chm|-p|3|C:/Quillbay"_s);
}

QTEST_MAIN(TestQtInteraction)
#include "tst_qtinteraction.moc"
