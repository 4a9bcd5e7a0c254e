#include "dialogs/widgetsupport.h"

#include <QAbstractItemView>
#include <QPalette>

void KeepSelectionHighlighted(QAbstractItemView* view)
{
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}
