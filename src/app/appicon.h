#pragma once

#include <QIcon>
#include <QImage>

// The program's own picture for its windows and the tray: a white quill over a bay,
// painted at each size so that small renderings stay sharp.
QIcon QuillbayIcon();

// One size of that picture; also written out as the installed theme icons.
QImage PaintQuillbayIcon(int size);
