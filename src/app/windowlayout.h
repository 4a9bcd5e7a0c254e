#pragma once

#include <QRect>
#include <QSize>
#include <Qt>

#include <optional>

// The main window's remembered layout as options.ini keeps it, and the limits that keep
// a remembered window on the screen.
namespace WindowLayout {

// Position and size of the window at a first start, and the left panel's width.
inline constexpr QRect DesignBounds{178, 189, 678, 380};
inline constexpr int DesignPanelWidth = 222;
inline constexpr int MinimumHeight = 380;
// How much of the window stays on the screen at least, right and below.
inline constexpr int KeptOnScreen = 50;

// The values of "Main Form State".
enum SavedState { Normal = 0, Minimized = 1, Maximized = 2 };

int LeftOnScreen(int left, QSize screen);
int TopOnScreen(int top, QSize screen);
// From half the screen's width to the space right of the left edge.
int WidthOnScreen(int width, int left, QSize screen);
int HeightOnScreen(int height, int top, QSize screen);
// All four in that order; width and height are limited by the new edges.
QRect BoundsOnScreen(const QRect& saved, QSize screen);

// The state a saved value asks for: minimised opens normal. Nothing for values that the
// program never writes, which leave the state alone.
std::optional<Qt::WindowState> StateToRestore(int saved);
int StateToSave(Qt::WindowStates state);

// Whether a drag of the splitter may give the left panel this width.
bool LeftPanelWidthAllowed(int width, int windowWidth);

} // namespace WindowLayout
