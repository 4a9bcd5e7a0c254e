#include "platform/xdgopen.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

using namespace Qt::StringLiterals;

int XdgOpen::openFile(const QString& file, const QString&, int, const QString&)
{
    if (!QFileInfo::exists(file))
        return 2;
    // Qt's own opening starts the program detached and never hears how it went.
    const QString opener = QStandardPaths::findExecutable(u"xdg-open"_s);
    if (opener.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file)) ? 42 : 31;
    auto* process = new QProcess(QCoreApplication::instance());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(opener, {file});
    if (!process->waitForStarted()) {
        delete process;
        return 31;
    }
    // A viewer that xdg-open waits for has opened the file; it is left running.
    constexpr int OpenWaitMs = 1500;
    if (!process->waitForFinished(OpenWaitMs)) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return 42;
    }
    const bool normal = process->exitStatus() == QProcess::NormalExit;
    const int code = process->exitCode();
    delete process;
    // xdg-open's codes: 0 done, 2 no such file, 3 no program for it, 4 the program failed.
    if (normal && code == 0)
        return 42;
    if (normal && code == 2)
        return 2;
    if (normal && code == 3)
        return 31;
    return 29;
}
