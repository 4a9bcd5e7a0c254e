#include "platform/wayland/focusclipboard.h"

#include "platform/filelistformats.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The marks of passing content, as clipboard managers know them.
const std::pair<QString, QByteArray> TransientMarks[]
    = {{u"x-kde-passwordManagerHint"_s, "secret"}, {u"application/x-copyq-hidden"_s, "1"}};

} // namespace

void FocusClipboard::publish(std::unique_ptr<QMimeData> data)
{
    if (m_transient) {
        for (const auto& [format, value] : TransientMarks)
            data->setData(format, value);
    }
    QGuiApplication::clipboard()->setMimeData(data.release());
}

bool FocusClipboard::hasText()
{
    // Qt counts a file list as text too; the desktop's programs do not.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return false;
    const QStringList formats = data->formats();
    return std::any_of(formats.cbegin(), formats.cend(),
                       [](const QString& format) { return format.startsWith(u"text/plain"_s); });
}

QString FocusClipboard::text()
{
    return hasText() ? QGuiApplication::clipboard()->text() : QString();
}

void FocusClipboard::setText(const QString& text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    publish(std::move(data));
}

void FocusClipboard::setFiles(const QStringList& paths)
{
    const FileListFormats files = EncodeFileList(paths);
    auto data = std::make_unique<QMimeData>();
    data->setData(u"text/uri-list"_s, files.uriList);
    data->setData(u"x-special/gnome-copied-files"_s, files.gnomeCopiedFiles);
    publish(std::move(data));
}

std::optional<ClipboardContent> FocusClipboard::allFormats(qsizetype maxBytes)
{
    ClipboardContent content;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return content;
    qsizetype total = 0;
    for (const QString& format : data->formats()) {
        const QByteArray bytes = data->data(format);
        total += bytes.size();
        if (total > maxBytes)
            return std::nullopt;
        content.append({format, bytes, {}, 8});
    }
    return content;
}

void FocusClipboard::setAllFormats(const ClipboardContent& content)
{
    if (content.isEmpty()) {
        QGuiApplication::clipboard()->clear();
        return;
    }
    auto data = std::make_unique<QMimeData>();
    for (const ClipboardFormat& format : content)
        data->setData(format.name, format.data);
    QGuiApplication::clipboard()->setMimeData(data.release());
}

void FocusClipboard::setTransient(bool transient)
{
    m_transient = transient;
}

bool FocusClipboard::waitUntilRead(WindowHandle, int)
{
    return false;
}
