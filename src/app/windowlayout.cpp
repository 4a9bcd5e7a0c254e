#include "app/windowlayout.h"

#include "dialogs/widgetsupport.h"

namespace WindowLayout {

int LeftOnScreen(int left, QSize screen)
{
    return Limit(left, 0, screen.width() - KeptOnScreen);
}

int TopOnScreen(int top, QSize screen)
{
    return Limit(top, 0, screen.height() - KeptOnScreen);
}

int WidthOnScreen(int width, int left, QSize screen)
{
    return Limit(width, screen.width() / 2, screen.width() - left);
}

int HeightOnScreen(int height, int top, QSize screen)
{
    return Limit(height, MinimumHeight, screen.height() - top);
}

QRect BoundsOnScreen(const QRect& saved, QSize screen)
{
    const int left = LeftOnScreen(saved.x(), screen);
    const int top = TopOnScreen(saved.y(), screen);
    return {left, top, WidthOnScreen(saved.width(), left, screen), HeightOnScreen(saved.height(), top, screen)};
}

std::optional<Qt::WindowState> StateToRestore(int saved)
{
    switch (saved) {
    case Normal:
    case Minimized: return Qt::WindowNoState;
    case Maximized: return Qt::WindowMaximized;
    default: return std::nullopt;
    }
}

int StateToSave(Qt::WindowStates state)
{
    if (state.testFlag(Qt::WindowMinimized))
        return Minimized;
    if (state.testFlag(Qt::WindowMaximized))
        return Maximized;
    return Normal;
}

bool LeftPanelWidthAllowed(int width, int windowWidth)
{
    return width > DesignPanelWidth && width < windowWidth / 2;
}

} // namespace WindowLayout
