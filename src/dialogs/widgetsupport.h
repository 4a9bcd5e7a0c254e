#pragma once

class QAbstractItemView;

// Keeps the selection drawn in the active colours while the view has no focus.
void KeepSelectionHighlighted(QAbstractItemView* view);
