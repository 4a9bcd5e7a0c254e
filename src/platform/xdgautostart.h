#pragma once

#include "platform/platform.h"

#include <QString>

// Starting at login on a freedesktop desktop: an entry in the user's autostart folder that
// starts the program hidden in the tray.
class XdgAutostart : public LoginStart {
public:
    // entryFile: the .desktop file to write; program: the executable it starts.
    XdgAutostart(QString entryFile, QString program);
    // The user's ~/.config/autostart/quillbay.desktop starting this executable.
    static XdgAutostart forThisProgram();

    bool isEnabled() override;
    void setEnabled(bool enabled) override;

private:
    QString m_entryFile;
    QString m_program;
};
