#pragma once

// Helpers for tests that drive the built program and other programs on a Wayland desktop
// from outside, under with-wayland.sh: sway (SWAYSOCK set) or KWin.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class WaylandDesktop {
public:
    enum class Compositor { Sway, KWin };

    // One window as the compositor lists it. KWin's D-Bus tells the title and its own ID only.
    struct Window {
        QString id;
        QString title;
        QString appId;
        qint64 pid = 0;
        bool focused = false;
        // A dialog or another window that sway floats above the tiles.
        bool floating = false;
    };

    // Under KWin, lets qb_wlkeys use KWin's fake input through a desktop file of its own.
    WaylandDesktop();

    Compositor compositor() const { return m_compositor; }
    QString name() const { return m_compositor == Compositor::Sway ? QStringLiteral("sway") : QStringLiteral("KWin"); }
    // Whether the compositor runs Xwayland for X11 programs (DISPLAY is set).
    bool xwayland() const;

    // The windows whose title holds the text (KWin's window search needs one).
    QList<Window> windows(const QString& titlePart) const;
    // The first window whose title holds the text and that passes the test, once it shows.
    std::optional<Window> waitForWindow(const QString& titlePart, const std::function<bool(const Window&)>& test,
                                        int timeoutMs = 20000) const;
    // The first window whose title holds the text, or empty.
    QString title(const QString& titlePart) const;
    // Gives the window the keyboard focus.
    void activate(const Window& window) const;
    // The main window of a program that has just started, once it shows. Boxes that the
    // program shows at start (floating under sway, a second window of the title under KWin)
    // are closed with Enter and counted.
    std::optional<Window> waitForProgram(qint64 pid, const QString& title, int& boxesClosed) const;

    // Presses the keys one after another: xkbcommon names, modifiers joined with + (ctrl+s).
    void pressKeys(const QStringList& keys) const;
    // Types ASCII text into the window that has the focus.
    void typeText(const QString& text) const;
    // The key-press tool (qb_wlkeys), for a caller that times its keys.
    static QString keysTool();

    // A desktop file in the user's applications folder, as a package installs one; KWin
    // grants its restricted protocols to the program that the Exec line names.
    static void addDesktopFile(const QString& fileName, const QByteArray& contents);

private:
    Compositor m_compositor;
};

// The clipboard through wl-clipboard: offers the data as the type until another program
// takes the clipboard.
void SetClipboard(const QByteArray& data, const QString& mimeType);
// The clipboard's data as the type, or empty when it offers no such type.
QByteArray ClipboardData(const QString& mimeType);
// The types that the clipboard offers.
QStringList ClipboardTypes();
