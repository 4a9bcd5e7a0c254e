#pragma once

#include <QIcon>

// The program's own picture for its windows and the tray: a white quill over a bay,
// painted at each size so that small renderings stay sharp.
QIcon QuillbayIcon();
