#include "dialogs/widgetsupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <algorithm>

void KeepSelectionHighlighted(QAbstractItemView* view)
{
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

int Limit(int value, int low, int high)
{
    if (value < low)
        value = low;
    if (value > high)
        value = high;
    return value;
}

namespace {

// The frame of a window that has one; nothing when it is not framed (yet).
QMargins FrameOf(const QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

QMargins ExpectedFrame(const QWidget* window)
{
    const QMargins own = FrameOf(window);
    if (!own.isNull())
        return own;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* other : windows) {
        if (other != window && other->isVisible() && !FrameOf(other).isNull())
            return FrameOf(other);
    }
    return {};
}

QSize InnerSize(QSize outer, const QMargins& frame)
{
    return {std::max(1, outer.width() - frame.left() - frame.right()),
            std::max(1, outer.height() - frame.top() - frame.bottom())};
}

const char* const OuterMinimumProperty = "outerMinimumSize";

void ApplyOuterMinimum(QWidget* window, const QMargins& frame)
{
    const QVariant outer = window->property(OuterMinimumProperty);
    if (outer.isValid())
        window->setMinimumSize(InnerSize(outer.toSize(), frame));
}

// Gives a window its outer bounds once its frame is known, at its first exposure: framed
// with a frame bigger than foreseen it may have been pushed back onto the screen.
class FrameSizeKeeper : public QObject {
public:
    FrameSizeKeeper(QWidget* window, const QRect& outer)
        : QObject(window)
        , m_window(window)
        , m_outer(outer)
    {
        setObjectName(QStringLiteral("frameSizeKeeper"));
        watch();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Some window systems know the frame when the window is shown, X11 only once the
        // window manager has framed it, which is before it is first exposed.
        if (watched == m_window && event->type() == QEvent::Show) {
            watch();
            if (!FrameOf(m_window).isNull())
                apply();
        } else if (watched == m_window->windowHandle() && event->type() == QEvent::Expose
                   && m_window->windowHandle()->isExposed()) {
            apply();
        }
        return false;
    }

private:
    // The native window exists from the first showing on.
    void watch()
    {
        m_window->installEventFilter(this);
        if (QWindow* handle = m_window->windowHandle())
            handle->installEventFilter(this);
    }

    void apply()
    {
        m_window->removeEventFilter(this);
        if (QWindow* handle = m_window->windowHandle())
            handle->removeEventFilter(this);
        ApplyOuterMinimum(m_window, FrameOf(m_window));
        if (m_window->frameGeometry().size() != m_outer.size())
            m_window->resize(InnerSize(m_outer.size(), FrameOf(m_window)));
        if (m_window->frameGeometry().topLeft() != m_outer.topLeft())
            m_window->move(m_outer.topLeft());
        deleteLater();
    }

    QWidget* m_window;
    QRect m_outer;
};

} // namespace

void SetFrameGeometry(QWidget* window, const QRect& frame)
{
    delete window->findChild<QObject*>(QStringLiteral("frameSizeKeeper"), Qt::FindDirectChildrenOnly);
    const QMargins expected = ExpectedFrame(window);
    ApplyOuterMinimum(window, expected);
    window->resize(InnerSize(frame.size(), expected));
    window->move(frame.topLeft());
    // Before the window manager has framed it, Qt takes a position for the inner area's.
    if (QWindow* handle = window->windowHandle(); handle && !handle->isExposed())
        handle->setFramePosition(frame.topLeft());
    if (!window->windowHandle() || !window->windowHandle()->isExposed())
        new FrameSizeKeeper(window, frame);
}

void SetOuterMinimumSize(QWidget* window, QSize outer)
{
    window->setProperty(OuterMinimumProperty, outer);
    ApplyOuterMinimum(window, ExpectedFrame(window));
}
