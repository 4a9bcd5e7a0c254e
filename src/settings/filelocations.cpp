#include "settings/filelocations.h"

#include "settings/replacefile.h"
#include "util/errors.h"
#include "util/textutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace {

const QString folderName = u"quillbay"_s;
const QString windowsFolderName = u"Tolvane Quillbay"_s;
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

// Windows reports every folder as writable unless asked for its access lists, so a copy
// unpacked under Program Files would look portable: there, only creating a file tells.
bool canCreateFilesIn(const QString& folder)
{
    QTemporaryFile probe(JoinPath(folder, u".quillbay-XXXXXX"_s));
    return probe.open();
}

FileLocations decideXdg(const QString& programFolder, const QString& configHome, const QString& dataHome)
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

FileLocations decideWindows(const QString& programFolder, const QString& configHome, const QString& dataHome)
{
    // The installer's folder is the user's own and writable, so its uninstaller tells it apart.
    const bool installed = QFileInfo::exists(JoinPath(programFolder, UninstallerName.toString()));
    if (!installed && canCreateFilesIn(programFolder))
        return {programFolder, programFolder, {}, true};

    const bool ownDatabase = !installed && QFileInfo::exists(JoinPath(programFolder, databaseName));
    return {JoinPath(configHome, windowsFolderName),
            ownDatabase ? programFolder : JoinPath(dataHome, windowsFolderName), JoinPath(programFolder, targetsName),
            false};
}

// %APPDATA% (roaming) for the settings and %LOCALAPPDATA% for the database; Qt's standard
// locations name the local one only, or the roaming one with the application's name added.
QString windowsFolder(const char* variable)
{
    const QString folder = qEnvironmentVariable(variable);
    return folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                            : QDir::fromNativeSeparators(folder);
}

void makeFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        throw Error(u"Unable to write to "_s + folder);
}

} // namespace

FileLocations DecideFileLocations(const QString& programFolder, const QString& configHome, const QString& dataHome,
                                  FileConvention convention)
{
    return convention == FileConvention::Windows ? decideWindows(programFolder, configHome, dataHome)
                                                 : decideXdg(programFolder, configHome, dataHome);
}

FileLocations ProgramFileLocations()
{
    if (NativeFileConvention == FileConvention::Windows)
        return DecideFileLocations(AppDir(), windowsFolder("APPDATA"), windowsFolder("LOCALAPPDATA"));
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
    QFile supplied(locations.suppliedTargets);
    if (!supplied.open(QIODevice::ReadOnly))
        throw Error(u"Unable to read %1: %2."_s.arg(QDir::toNativeSeparators(locations.suppliedTargets),
                                                    supplied.errorString()));
    // Whole or not at all: a copy cut short by a full disk would stand as the user's file.
    ReplaceFileContents(targets, supplied.readAll());
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
