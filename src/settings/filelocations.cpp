#include "settings/filelocations.h"

#include "util/errors.h"
#include "util/textutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

const QString folderName = u"quillbay"_s;
const QString targetsName = u"targets.ini"_s;
const QString databaseName = u"quillbay.db"_s;

QString installedShareFolder(const QString& programFolder)
{
    return QDir::cleanPath(programFolder + u"/../share/"_s + folderName);
}

bool isInstalledLayout(const QString& programFolder)
{
    return QFileInfo(QDir::cleanPath(programFolder)).fileName() == u"bin"_s
        && QFileInfo::exists(JoinPath(installedShareFolder(programFolder), targetsName));
}

void makeFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        throw Error(u"Unable to write to "_s + folder);
}

} // namespace

FileLocations DecideFileLocations(const QString& programFolder, const QString& configHome, const QString& dataHome)
{
    if (QFileInfo(programFolder).isWritable() && !isInstalledLayout(programFolder))
        return {programFolder, programFolder, {}, true};

    const QString beside = JoinPath(programFolder, targetsName);
    const QString supplied
        = QFileInfo::exists(beside) ? beside : JoinPath(installedShareFolder(programFolder), targetsName);
    // A write-protected portable copy goes on reading its own database (read-only).
    const bool ownDatabase
        = !isInstalledLayout(programFolder) && QFileInfo::exists(JoinPath(programFolder, databaseName));
    return {JoinPath(configHome, folderName), ownDatabase ? programFolder : JoinPath(dataHome, folderName), supplied,
            false};
}

FileLocations ProgramFileLocations()
{
    return DecideFileLocations(AppDir(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                               QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

void PrepareFileLocations(const FileLocations& locations)
{
    if (locations.portable)
        return;
    makeFolder(locations.configFolder);
    makeFolder(locations.dataFolder);

    const QString targets = JoinPath(locations.configFolder, targetsName);
    if (QFileInfo::exists(targets) || !QFileInfo::exists(locations.suppliedTargets))
        return;
    if (!QFile::copy(locations.suppliedTargets, targets))
        throw Error(u"Unable to write to "_s + targets);
    // The installed file is read-only; the user's copy is edited by the Destinations dialog.
    QFile::setPermissions(targets, QFile::permissions(targets) | QFile::ReadOwner | QFile::WriteOwner);
}

QString HelpFilePath()
{
    const QString programFolder = AppDir();
    const QString chm = JoinPath(programFolder, u"quillbay.chm"_s);
    if (QFileInfo::exists(chm))
        return chm;
    const QString guide = u"help/index.html"_s;
    for (const QString& folder : {programFolder, installedShareFolder(programFolder)}) {
        if (QFileInfo::exists(JoinPath(folder, guide)))
            return JoinPath(folder, guide);
    }
    return chm;
}

QString OptionsFilePath()
{
    return JoinPath(ProgramFileLocations().configFolder, u"options.ini"_s);
}

QString TargetsFilePath()
{
    return JoinPath(ProgramFileLocations().configFolder, targetsName);
}

QString DatabaseFilePath()
{
    return JoinPath(ProgramFileLocations().dataFolder, databaseName);
}
