#pragma once

class QAbstractItemView;

// Keeps the selection drawn in the active colours while the view has no focus.
void KeepSelectionHighlighted(QAbstractItemView* view);

class QRect;
class QSize;
class QWidget;

// Moves and sizes a top-level window by its outer bounds, frame included, as remembered
// layouts keep them. Until the window manager has framed the window its frame is taken to
// be that of another framed window of the program; the size is set right once the window
// is first shown framed.
void SetFrameGeometry(QWidget* window, const QRect& frame);
// The smallest outer size of a top-level window, kept as its frame becomes known through
// SetFrameGeometry.
void SetOuterMinimumSize(QWidget* window, QSize outer);

// Below the lower bound the lower bound, then above the upper bound the upper bound:
// when the bounds cross, the upper bound wins. Keeps remembered window places on the screen.
int Limit(int value, int low, int high);
