#pragma once

#include <QString>

#include <functional>

// Xlib's own declaration; its header clashes with Qt's, so it stays out of this one.
typedef struct _XDisplay Display;

// Polls condition until it holds or timeoutMs has passed, sleeping sleepUs between tries and
// letting the application's events flow if there is one (so that its clipboard can answer).
bool Poll(const std::function<bool()>& condition, int timeoutMs, unsigned sleepUs = 200);

// Sends the shown Message into an editor the way a user does, from outside the program.
class F12Send {
public:
    // mainWindow and editorWindow are xdotool window IDs.
    F12Send(Display* display, const QString& mainWindow, const QString& editorWindow);

    // Empties and saves the editor's document (so its title loses the modified mark), runs
    // prepare, activates the main window and presses F12 there. Returns the time from the key
    // to the editor's title changing (the paste puts the mark back), in milliseconds.
    double send(const std::function<void()>& prepare = {});

private:
    Display* m_display;
    QString m_mainWindow;
    QString m_editorWindow;
    unsigned long m_editorId; // an X window ID
    unsigned char m_f12; // a key code
};
