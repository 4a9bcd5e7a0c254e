#pragma once

#include <QPlainTextEdit>

// A read-only view of a text of any length. A line is laid out as one paragraph, all at
// once, and wrapping a line of a megabyte takes from a quarter of a second to minutes
// (without spaces), so long lines are held in pieces of at most MaxPieceLength
// characters; only the pieces on screen are laid out. The pieces join again wherever the
// text leaves the view: previewText() and copying give the text as it was set.
class TextPreview : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int MaxPieceLength = 2048;

    explicit TextPreview(QWidget* parent = nullptr);

    void setPreviewText(const QString& text);
    // The text as setPlainText followed by toPlainText would give it: line ends as "\n".
    QString previewText() const;

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    // The text from document position start on, without the breaks between pieces.
    QString joinPieces(QString text, int start) const;
};
