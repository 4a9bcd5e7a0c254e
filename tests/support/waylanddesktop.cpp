#include "waylanddesktop.h"

#include "desktoptools.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString Swaymsg(const QStringList& arguments)
{
    return RunTool(u"swaymsg"_s, arguments);
}

// The views of sway's tree, tiled and floating, depth first.
void CollectViews(const QJsonObject& node, QList<WaylandDesktop::Window>& windows)
{
    const bool floating = node.value(u"type"_s).toString() == u"floating_con"_s;
    if (node.value(u"pid"_s).toInteger() > 0) {
        WaylandDesktop::Window window;
        window.id = QString::number(node.value(u"id"_s).toInteger());
        window.title = node.value(u"name"_s).toString();
        window.appId = node.value(u"app_id"_s).toString();
        // Xwayland windows have a class instead.
        if (window.appId.isEmpty())
            window.appId = node.value(u"window_properties"_s).toObject().value(u"class"_s).toString();
        window.pid = node.value(u"pid"_s).toInteger();
        window.focused = node.value(u"focused"_s).toBool();
        window.floating = floating;
        windows << window;
    }
    for (const QString& key : {u"nodes"_s, u"floating_nodes"_s}) {
        for (const QJsonValue child : node.value(key).toArray())
            CollectViews(child.toObject(), windows);
    }
}

QDBusMessage CallKWin(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.kde.KWin"_s, path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
}

// KWin's window search (its KRunner plug-in): an ID and the title of each window whose
// title holds the text.
QList<WaylandDesktop::Window> KWinWindows(const QString& titlePart)
{
    const QDBusMessage reply
        = CallKWin(u"/WindowsRunner"_s, u"org.kde.krunner1"_s, u"Match"_s, {QVariant(titlePart.trimmed())});
    QList<WaylandDesktop::Window> windows;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return windows;
    const auto matches = reply.arguments().front().value<QDBusArgument>();
    matches.beginArray();
    while (!matches.atEnd()) {
        WaylandDesktop::Window window;
        QString icon;
        int type = 0;
        double relevance = 0;
        QVariantMap properties;
        matches.beginStructure();
        matches >> window.id >> window.title >> icon >> type >> relevance >> properties;
        matches.endStructure();
        // The search also offers desktops and actions; windows carry a title that holds the text.
        if (window.title.contains(titlePart))
            windows << window;
    }
    matches.endArray();
    return windows;
}

} // namespace

WaylandDesktop::WaylandDesktop()
    : m_compositor(qEnvironmentVariableIsSet("SWAYSOCK") ? Compositor::Sway : Compositor::KWin)
{
    if (m_compositor == Compositor::KWin) {
        addDesktopFile(u"qb-wlkeys.desktop"_s,
                       "[Desktop Entry]\nType=Application\nName=Test keys\nExec=" + keysTool().toUtf8()
                           + "\nNoDisplay=true\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n");
    }
}

bool WaylandDesktop::xwayland() const
{
    return qEnvironmentVariableIsSet("DISPLAY");
}

QList<WaylandDesktop::Window> WaylandDesktop::windows(const QString& titlePart) const
{
    if (m_compositor == Compositor::KWin)
        return KWinWindows(titlePart);
    QList<Window> all;
    CollectViews(QJsonDocument::fromJson(Swaymsg({u"-t"_s, u"get_tree"_s, u"-r"_s}).toUtf8()).object(), all);
    QList<Window> found;
    for (const Window& window : all) {
        if (window.title.contains(titlePart))
            found << window;
    }
    return found;
}

std::optional<WaylandDesktop::Window> WaylandDesktop::waitForWindow(const QString& titlePart,
                                                                    const std::function<bool(const Window&)>& test,
                                                                    int timeoutMs) const
{
    std::optional<Window> found;
    WaitFor(
        [&] {
            for (const Window& window : windows(titlePart)) {
                if (test(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

QString WaylandDesktop::title(const QString& titlePart) const
{
    const QList<Window> found = windows(titlePart);
    return found.isEmpty() ? QString() : found.front().title;
}

void WaylandDesktop::activate(const Window& window) const
{
    if (m_compositor == Compositor::KWin)
        CallKWin(u"/WindowsRunner"_s, u"org.kde.krunner1"_s, u"Run"_s, {QVariant(window.id), QVariant(QString())});
    else
        Swaymsg({u"[con_id=%1] focus"_s.arg(window.id)});
    // Focus reaches the program a moment after the compositor has moved it.
    QThread::msleep(150);
}

std::optional<WaylandDesktop::Window> WaylandDesktop::waitForProgram(qint64 pid, const QString& title,
                                                                     int& boxesClosed) const
{
    boxesClosed = 0;
    const QDeadlineTimer deadline(30000);
    QElapsedTimer quiet;
    while (!deadline.hasExpired()) {
        // sway tells each window's process and floats boxes; KWin's search tells neither,
        // and there a box is a second window of the title.
        std::optional<Window> main;
        std::optional<Window> box;
        for (const Window& window : windows(title)) {
            if (window.title != title || (window.pid != 0 && window.pid != pid))
                continue;
            if (window.floating || main)
                box = window;
            else
                main = window;
        }
        if (box) {
            activate(*box);
            pressKeys({u"Return"_s});
            ++boxesClosed;
            WaitFor(
                [&] {
                    const QList<Window> left = windows(title);
                    return std::none_of(left.begin(), left.end(), [&](const Window& w) { return w.id == box->id; });
                },
                5000);
            quiet.invalidate();
        } else if (main) {
            // A box may follow the main window.
            if (!quiet.isValid())
                quiet.start();
            else if (quiet.elapsed() > 3000)
                return main;
        }
        QThread::msleep(100);
    }
    return std::nullopt;
}

void WaylandDesktop::pressKeys(const QStringList& keys) const
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(keysTool(), keys);
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        qFatal("qb_wlkeys failed on %s", qUtf8Printable(keys.join(u' ')));
}

QString WaylandDesktop::keysTool()
{
    return QStringLiteral(QB_WLKEYS);
}

void WaylandDesktop::typeText(const QString& text) const
{
    pressKeys({u"--type"_s, text});
}

void WaylandDesktop::addDesktopFile(const QString& fileName, const QByteArray& contents)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/applications"_s;
    QFile file(QDir(folder).filePath(fileName));
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qUtf8Printable(file.fileName()));
}

void SetClipboard(const QByteArray& data, const QString& mimeType)
{
    // wl-copy stays behind to serve the data, with its output still open: only its own
    // start is waited for.
    QProcess copy;
    copy.setStandardOutputFile(QProcess::nullDevice());
    copy.setStandardErrorFile(QProcess::nullDevice());
    copy.start(u"wl-copy"_s, {u"--type"_s, mimeType});
    copy.write(data);
    copy.closeWriteChannel();
    if (!copy.waitForFinished(10000) || copy.exitCode() != 0)
        qFatal("wl-copy failed");
}

QByteArray ClipboardData(const QString& mimeType)
{
    QProcess paste;
    paste.start(u"wl-paste"_s, {u"--no-newline"_s, u"--type"_s, mimeType});
    if (!paste.waitForFinished(10000))
        qFatal("wl-paste did not finish");
    return paste.exitCode() == 0 ? paste.readAllStandardOutput() : QByteArray();
}

QStringList ClipboardTypes()
{
    return RunTool(u"wl-paste"_s, {u"--list-types"_s}).split(u'\n', Qt::SkipEmptyParts);
}
