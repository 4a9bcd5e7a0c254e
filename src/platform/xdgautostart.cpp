#include "platform/xdgautostart.h"

#include "util/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// Exec= quoting: the path in double quotes with ", `, $ and \ escaped, % doubled.
QString quotedExec(const QString& program)
{
    QString quoted;
    for (const QChar c : program) {
        // Quoting escapes with a backslash, and the entry's string escaping doubles it.
        if (c == u'\\')
            quoted += u"\\\\\\\\"_s;
        else if (c == u'"' || c == u'`' || c == u'$')
            quoted += u"\\\\"_s + c;
        else if (c == u'%')
            quoted += u"%%"_s;
        else
            quoted += c;
    }
    return u'"' + quoted + u'"';
}

} // namespace

XdgAutostart::XdgAutostart(QString entryFile, QString program)
    : m_entryFile(std::move(entryFile))
    , m_program(std::move(program))
{ }

XdgAutostart XdgAutostart::forThisProgram()
{
    return {QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/autostart/quillbay.desktop"_s,
            QCoreApplication::applicationFilePath()};
}

bool XdgAutostart::isEnabled()
{
    QFile entry(m_entryFile);
    if (!entry.open(QIODevice::ReadOnly))
        return false;
    // The desktop's own switch for an entry leaves the file and adds Hidden=true.
    while (!entry.atEnd()) {
        const QByteArray line = entry.readLine().trimmed();
        if (line.startsWith("Hidden") && line.endsWith("true"))
            return false;
    }
    return true;
}

void XdgAutostart::setEnabled(bool enabled)
{
    if (!enabled) {
        if (QFileInfo::exists(m_entryFile) && !QFile::remove(m_entryFile))
            throw Error(u"Unable to write to "_s + m_entryFile);
        return;
    }
    QSaveFile entry(m_entryFile);
    const QString text = u"[Desktop Entry]\nType=Application\nName=Tolvane Quillbay\nExec="_s + quotedExec(m_program)
        + u" --hide\nIcon=quillbay\nTerminal=false\nX-GNOME-Autostart-enabled=true\n"_s;
    const QByteArray bytes = text.toUtf8();
    // Unbuffered: a full disk fails the write itself, not the flush in commit(), which would
    // lose the error and put an empty entry in place.
    if (!QDir().mkpath(QFileInfo(m_entryFile).path()) || !entry.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || entry.write(bytes) != bytes.size() || !entry.commit())
        throw Error(u"Unable to write to "_s + m_entryFile);
}
