#include "dialogs/fSelectFAQ.h"
#include "dialogs/textpreview.h"

#include "childbyname.h"
#include "scriptedinteraction.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

int LongestBlock(const QPlainTextEdit& edit)
{
    int longest = 0;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next())
        longest = std::max(longest, block.length() - 1);
    return longest;
}

// What a plain text edit gives back for the text.
QString Expected(const QString& text)
{
    QPlainTextEdit plain;
    plain.setPlainText(text);
    return plain.toPlainText();
}

QString Copied(QPlainTextEdit& edit, int from, int to)
{
    QTextCursor cursor(edit.document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    QApplication::clipboard()->clear();
    edit.copy();
    return QApplication::clipboard()->text();
}

QString Repeat(const QString& piece, int length)
{
    QString text;
    while (text.size() < length)
        text += piece;
    return text.left(length);
}

} // namespace

class TestTextPreview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keepsTextWhole_data();
    void keepsTextWhole();
    void resultListNeverLaysOutAWholeHugeText();
    void resultListTabOrder();
};

void TestTextPreview::keepsTextWhole_data()
{
    QTest::addColumn<QString>("text");
    const int limit = TextPreview::MaxPieceLength;
    QTest::newRow("empty") << QString();
    QTest::newRow("short lines, CR LF, CR, trailing end") << u"one\r\ntwo\rthree\n\nfour\u2029five\n"_s;
    QTest::newRow("exactly the limit") << QString(limit, u'x');
    QTest::newRow("one over the limit") << QString(limit + 1, u'x');
    QTest::newRow("megabyte without blanks") << QString(1 << 20, u'x');
    QTest::newRow("megabyte of words") << Repeat(u"lorem ipsum dolor sit "_s, 1 << 20);
    QTest::newRow("long lines between short ones")
        << u"head\r\n"_s + QString(3 * limit + 7, u'y') + u"\r\n\r\n"_s + Repeat(u"ab\tcd "_s, 5 * limit) + u"\nend"_s;
    QTest::newRow("line separators") << Repeat(u"abc\u2028"_s, 4 * limit);
    // Pairs and marks that a cut at the limit would split.
    QTest::newRow("surrogate pairs") << u"x"_s + Repeat(u"\U0001F600"_s, 3 * limit);
    QTest::newRow("combining marks") << Repeat(u"e\u0301\u0301"_s, 3 * limit);
}

void TestTextPreview::keepsTextWhole()
{
    QFETCH(QString, text);
    TextPreview preview;
    preview.setPreviewText(text);
    const QString expected = Expected(text);

    QVERIFY(LongestBlock(preview) <= TextPreview::MaxPieceLength);
    QCOMPARE(preview.previewText(), expected);

    const int end = preview.document()->characterCount() - 1;
    QCOMPARE(Copied(preview, 0, end), expected);
    // Every piece boundary inside a short selection.
    for (QTextBlock block = preview.document()->begin().next(); block.isValid(); block = block.next()) {
        if (block.position() > 3 * TextPreview::MaxPieceLength)
            break;
        const int from = std::max(0, block.position() - 5);
        const int to = std::min(end, block.position() + 5);
        const QString copied = Copied(preview, from, to);
        QVERIFY2(expected.contains(copied), qPrintable(u"at %1"_s.arg(block.position())));
    }
}

void TestTextPreview::resultListNeverLaysOutAWholeHugeText()
{
    ScriptedInteraction boxes;
    TfrmSelectFAQ dialog(boxes, [](int) {});
    const QString huge = QString(1 << 20, u'x') + u"\n"_s + QString(1 << 19, u'z');
    dialog.AddResult(u"1"_s, u"Huge"_s, huge);
    dialog.AddResult(u"2"_s, u"Small"_s, u"small text"_s);
    dialog.SelectFirstResult();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    auto* memFullText = child<TextPreview>(dialog, "memFullText");
    QVERIFY(child<QTreeWidget>(dialog, "lvFAQs")->topLevelItem(0)->text(2).size() <= 301);
    QVERIFY(LongestBlock(*memFullText) <= TextPreview::MaxPieceLength);
    memFullText->selectAll();
    QApplication::clipboard()->clear();
    memFullText->copy();
    QCOMPARE(QApplication::clipboard()->text(), huge);
}

void TestTextPreview::resultListTabOrder()
{
    ScriptedInteraction boxes;
    TfrmSelectFAQ dialog(boxes, [](int) {});
    QWidget* const first = child<QTreeWidget>(dialog, "lvFAQs");
    QStringList order;
    QWidget* widget = first;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != first);
    QCOMPARE(order, (QStringList{u"lvFAQs"_s, u"memFullText"_s, u"btnSelect"_s, u"btnCancel"_s}));
}

QTEST_MAIN(TestTextPreview)
#include "tst_textpreview.moc"
