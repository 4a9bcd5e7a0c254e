#pragma once

#include <QLabel>
#include <QString>

// A one-line label that shows as much of its text as fits, cut with an ellipsis, and the
// whole text in its tooltip. It asks for no width of its own, so a long text never widens
// the layout it sits in.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString m_fullText;
};
