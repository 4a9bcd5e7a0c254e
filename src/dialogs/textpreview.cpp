#include "dialogs/textpreview.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextDocumentFragment>

#include <algorithm>
#include <vector>

namespace {

// Marks a block that goes on the line of the block before it.
constexpr int ContinuedLine = 1;

bool IsLineEnd(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

// Where a piece of a long line ends: after the last blank or line separator in its second
// half, else at the limit, never between the halves of a surrogate pair or before a mark.
qsizetype PieceEnd(const QString& text, qsizetype start)
{
    const qsizetype limit = start + TextPreview::MaxPieceLength;
    for (qsizetype end = limit; end > start + TextPreview::MaxPieceLength / 2; --end) {
        const QChar before = text[end - 1];
        if (before == u' ' || before == u'\t' || before == QChar::LineSeparator)
            return end;
    }
    qsizetype end = limit;
    while (end > start + 1 && (text[end].isLowSurrogate() || text[end].isMark()))
        --end;
    return end;
}

} // namespace

TextPreview::TextPreview(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
}

void TextPreview::setPreviewText(const QString& text)
{
    // Every line end becomes "\n", as the document would make it, so that blocks can be
    // counted here.
    QString shown;
    shown.reserve(text.size() + text.size() / (MaxPieceLength / 2) + 1);
    std::vector<int> continued;
    int block = 0;
    for (qsizetype lineStart = 0; lineStart <= text.size();) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && !IsLineEnd(text[lineEnd]))
            ++lineEnd;
        qsizetype start = lineStart;
        while (lineEnd - start > MaxPieceLength) {
            const qsizetype cut = PieceEnd(text, start);
            shown += QStringView(text).sliced(start, cut - start);
            shown += u'\n';
            continued.push_back(++block);
            start = cut;
        }
        shown += QStringView(text).sliced(start, lineEnd - start);
        if (lineEnd == text.size())
            break;
        shown += u'\n';
        ++block;
        lineStart
            = lineEnd + (text[lineEnd] == u'\r' && lineEnd + 1 < text.size() && text[lineEnd + 1] == u'\n' ? 2 : 1);
    }
    setPlainText(shown);
    QTextDocument* doc = document();
    for (int number : continued)
        doc->findBlockByNumber(number).setUserState(ContinuedLine);
}

QString TextPreview::previewText() const
{
    return joinPieces(document()->toPlainText(), 0);
}

QMimeData* TextPreview::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return nullptr;
    auto* mime = new QMimeData;
    mime->setText(joinPieces(QTextDocumentFragment(cursor).toPlainText(), cursor.selectionStart()));
    return mime;
}

QString TextPreview::joinPieces(QString text, int start) const
{
    const int end = start + int(text.size());
    qsizetype kept = 0;
    qsizetype from = 0;
    for (QTextBlock block = document()->findBlock(start).next(); block.isValid() && block.position() <= end;
         block = block.next()) {
        if (block.userState() != ContinuedLine)
            continue;
        const qsizetype breakAt = block.position() - 1 - start;
        // Move the stretch before the break left over the breaks removed so far.
        if (kept != from)
            std::copy(text.cbegin() + from, text.cbegin() + breakAt, text.begin() + kept);
        kept += breakAt - from;
        from = breakAt + 1;
    }
    if (kept != from)
        std::copy(text.cbegin() + from, text.cend(), text.begin() + kept);
    text.truncate(kept + (text.size() - from));
    return text;
}
