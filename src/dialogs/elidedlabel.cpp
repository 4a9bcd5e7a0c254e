#include "dialogs/elidedlabel.h"

#include <QFontMetrics>
#include <QResizeEvent>

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

void ElidedLabel::setFullText(const QString& text)
{
    m_fullText = text;
    setToolTip(text);
    Elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void ElidedLabel::Elide()
{
    setText(fontMetrics().elidedText(m_fullText, Qt::ElideRight, contentsRect().width()));
}
