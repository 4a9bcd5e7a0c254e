#include "platform/x11/x11clipboard.h"

#include "platform/x11/x11connection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Counts the fetches of its data by other programs; Qt asks for the data only when a
// program requests one of its formats, not when it merely lists them.
class WatchedMimeData : public QMimeData {
public:
    explicit WatchedMimeData(std::shared_ptr<X11Clipboard::ReadState> state)
        : m_state(std::move(state))
    {
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (!m_state->ownRead)
            ++m_state->reads;
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    std::shared_ptr<X11Clipboard::ReadState> m_state;
};

QClipboard* clipboard()
{
    return QGuiApplication::clipboard();
}

} // namespace

X11Clipboard::X11Clipboard(X11Connection& x11)
    : m_x11(x11)
    , m_state(std::make_shared<ReadState>())
{
}

bool X11Clipboard::hasText()
{
    // Qt counts a file list as text too; the clipboard's text is plain text alone.
    const QMimeData* data = clipboard()->mimeData(QClipboard::Clipboard);
    return data && data->hasFormat(u"text/plain"_s);
}

QString X11Clipboard::text()
{
    if (!hasText())
        return {};
    // Our own data read back must not count as a fetch by another program.
    m_state->ownRead = true;
    const QString result = clipboard()->text(QClipboard::Clipboard);
    m_state->ownRead = false;
    return result;
}

void X11Clipboard::setText(const QString& text)
{
    m_state = std::make_shared<ReadState>();
    auto* data = new WatchedMimeData(m_state);
    data->setText(text);
    clipboard()->setMimeData(data, QClipboard::Clipboard);
}

void X11Clipboard::setFiles(const QStringList& paths)
{
    m_state = std::make_shared<ReadState>();
    auto* data = new WatchedMimeData(m_state);
    QList<QUrl> urls;
    QByteArray gnome = "copy";
    for (const QString& path : paths) {
        const QUrl url = QUrl::fromLocalFile(path);
        urls.append(url);
        gnome += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    data->setData(u"x-special/gnome-copied-files"_s, gnome);
    clipboard()->setMimeData(data, QClipboard::Clipboard);
}

bool X11Clipboard::waitUntilRead(int timeoutMs)
{
    const std::shared_ptr<ReadState> state = m_state;
    return m_x11.waitFor([&state] { return state->reads > 0; }, timeoutMs);
}
