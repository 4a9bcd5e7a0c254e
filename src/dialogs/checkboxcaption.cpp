#include "dialogs/checkboxcaption.h"

#include <QAbstractButton>
#include <QMouseEvent>

void CheckBoxCaption::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    auto* box = qobject_cast<QAbstractButton*>(buddy());
    if (box && box->isEnabled() && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        box->setFocus(Qt::MouseFocusReason);
        box->click();
    }
}
