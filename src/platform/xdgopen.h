#pragma once

#include "platform/platform.h"

// Opening a file on a freedesktop desktop through xdg-open, whose exit code tells at once
// when no program opens the file or the one it starts fails. Parameters, show command and
// folder have no counterpart there and are left out.
class XdgOpen : public FileOpener {
public:
    int openFile(const QString& file, const QString& parameters, int showCommand, const QString& folder) override;
};
