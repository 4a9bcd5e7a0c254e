#pragma once

#include <QLabel>

// The caption of a check box, set beside it so that a long caption wraps. Its buddy is the
// check box: the accelerator and a click on the caption click the box.
class CheckBoxCaption : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
