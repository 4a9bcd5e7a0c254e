// The main window's remembered layout, its closing and its coming to the front.

#include "app/fMain.h"
#include "app/traycontroller.h"
#include "app/windowlayout.h"
#include "delivery/keyinput.h"
#include "dialogs/widgetsupport.h"
#include "platform/platform.h"
#include "settings/inifile.h"
#include "settings/settings.h"
#include "util/connectguarded.h"
#include "util/errors.h"

#include "ui_fMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>

#include <functional>
#include <utility>

using namespace Qt::StringLiterals;
using namespace WindowLayout;

namespace {

// Lets a drag of a splitter handle go on only to widths that the check accepts, and
// reports each completed move that changed the first pane's width.
class SplitterDrag : public QObject {
public:
    SplitterDrag(QSplitter* splitter, std::function<bool(int)> canResize, std::function<void()> moved)
        : QObject(splitter)
        , m_splitter(splitter)
        , m_canResize(std::move(canResize))
        , m_moved(std::move(moved))
    {
        // Each accepted step of the drag takes effect at once, so the refusal is seen.
        splitter->setOpaqueResize(true);
        splitter->handle(1)->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                m_grabOffset = qRound(mouse->position().x());
                m_widthAtPress = firstWidth();
            }
            return false;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!mouse->buttons().testFlag(Qt::LeftButton))
                return false;
            // Where the handle would go, as the handle itself computes it.
            const int handleAt = m_splitter->mapFromGlobal(mouse->globalPosition().toPoint()).x() - m_grabOffset;
            const int width = handleAt - m_splitter->widget(0)->x();
            return !m_canResize(width);
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && firstWidth() != m_widthAtPress)
                m_moved();
            return false;
        default: return false;
        }
    }

private:
    int firstWidth() const { return m_splitter->widget(0)->width(); }

    QSplitter* m_splitter;
    std::function<bool(int)> m_canResize;
    std::function<void()> m_moved;
    int m_grabOffset = 0;
    int m_widthAtPress = 0;
};

QSize ScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize();
}

} // namespace

void TfrmMain::PrepareWindowState()
{
    move(DesignBounds.topLeft());
    // The smallest size of the form is an outer one, like the remembered bounds.
    SetOuterMinimumSize(this, minimumSize());
    // The remembered panel width applies as it is, below the width its buttons ask for too.
    ui->pnlFAQs->setMinimumWidth(1);
    SetPanelWidth(DesignPanelWidth);
    new SplitterDrag(
        ui->spltMain, [this](int width) { return spltMainCanResize(width); },
        [this] { Guarded(m_boxes, [this] { spltMainMoved(); }); });
}

void TfrmMain::BringProgramToFront()
{
    m_tray->ShowFromTray();
    // A window manager that refuses leaves the window shown behind others, and a desktop that
    // lists no windows leaves it where Qt's own request put it; nothing more to do.
    if (const WindowHandle own = m_desktop.windows.ownWindow(winId(), windowTitle()); own != 0)
        (void)BringWindowToForeground(m_desktop.windows, own);
    // The term of the last search is selected, so that the next Hotword typed replaces it.
    ui->txtSearchTerm->setFocus();
    ui->txtSearchTerm->selectAll();
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        m_tray->WindowMinimized();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    bool goOn = true;
    Guarded(m_boxes, [&] { goOn = FormClose(); });
    event->setAccepted(goOn);
    // The program ends with its main window, also when the window was hidden in the tray,
    // where closing it is no closing of the last visible window.
    if (goOn)
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

bool TfrmMain::FormClose()
{
    Options options = m_options;
    options.load();
    if (options.value(Setting::MinimizeOnClose) && !m_tray->ExitRequested() && m_tray->HasNotificationArea()) {
        m_tray->HideToTray();
        return false;
    }
    return true;
}

void TfrmMain::RestoreWindowState()
{
    m_layoutRestored = true;
    Options options = m_options;
    options.load();
    // Acts as a click when it changes the box: the tree is refilled in the new form.
    ui->chkShowHotWord->setChecked(options.value(Setting::ShowHotword));

    const QString savedState = options.text(Setting::MainFormState);
    if (!savedState.isEmpty()) {
        const auto state = StateToRestore(options.value(Setting::MainFormState));
        const Qt::WindowStates current = windowState() & (Qt::WindowMinimized | Qt::WindowMaximized);
        if (state && current != *state)
            setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | *state);
    }
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;

    // Each value is applied as soon as it is read, so that a bad value further on keeps it.
    // Positions and sizes are the outer ones, frame included.
    const QSize screen = ScreenSize();
    QRect bounds = frameGeometry();
    bounds.moveLeft(LeftOnScreen(options.value(Setting::MainFormLeft, bounds.left()), screen));
    SetFrameGeometry(this, bounds);
    bounds.moveTop(TopOnScreen(options.value(Setting::MainFormTop, bounds.top()), screen));
    SetFrameGeometry(this, bounds);
    bounds.setWidth(WidthOnScreen(options.value(Setting::MainFormWidth, bounds.width()), bounds.left(), screen));
    SetFrameGeometry(this, bounds);
    bounds.setHeight(HeightOnScreen(options.value(Setting::MainFormHeight, bounds.height()), bounds.top(), screen));
    SetFrameGeometry(this, bounds);

    SetPanelWidth(options.value(Setting::LeftPanelWidth));
}

void TfrmMain::SaveWindowState()
{
    // One write of the file for the whole layout.
    Options options = m_options;
    options.load();
    options.setValue(Setting::MainFormState, StateToSave(windowState()));
    const QRect bounds = frameGeometry();
    options.setValue(Setting::MainFormLeft, bounds.x());
    options.setValue(Setting::MainFormTop, bounds.y());
    options.setValue(Setting::MainFormWidth, bounds.width());
    options.setValue(Setting::MainFormHeight, bounds.height());
    options.save();
}

void TfrmMain::SetPanelWidth(int width)
{
    // The right pane takes the rest, whatever the splitter's size is now.
    ui->spltMain->setSizes({width, std::max(1, this->width() - width)});
}

bool TfrmMain::spltMainCanResize(int newWidth) const
{
    return LeftPanelWidthAllowed(newWidth, width());
}

void TfrmMain::spltMainMoved()
{
    Options options = m_options;
    options.load();
    options.setValue(Setting::LeftPanelWidth, ui->pnlFAQs->width());
    options.save();
}
