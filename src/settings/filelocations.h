#pragma once

#include <QString>

// Where options.ini, targets.ini and the embedded database live.
struct FileLocations {
    QString configFolder; // options.ini and targets.ini
    QString dataFolder; // the embedded database
    // The targets.ini shipped with the program, copied to configFolder when the user has
    // none; empty for a portable copy, which reads the supplied file in place.
    QString suppliedTargets;
    bool portable = true;
};

// How a desktop lays out an installed copy and names its folders in the user's bases.
enum class FileConvention {
    // bin/ beside share/quillbay/; the user's files in <config>/quillbay and <data>/quillbay.
    Xdg,
    // The installer's uninstaller beside the program (a zip has none); the user's files in
    // <config>/Tolvane Quillbay and <data>/Tolvane Quillbay (%APPDATA%, %LOCALAPPDATA%).
    Windows,
};

#ifdef Q_OS_WIN
inline constexpr FileConvention NativeFileConvention = FileConvention::Windows;
#else
inline constexpr FileConvention NativeFileConvention = FileConvention::Xdg;
#endif

// The uninstaller that the Windows installer leaves beside the program.
inline constexpr QStringView UninstallerName = u"Uninstall.exe";

// A portable copy keeps its files beside the executable. An installed copy (its folder is
// not writable, or it is laid out as the convention's installer leaves it) keeps them in
// the user's configuration and data folders, given here as the bases (~/.config and
// ~/.local/share, or %APPDATA% and %LOCALAPPDATA%); a portable copy whose folder is not
// writable still reads the database beside it.
FileLocations DecideFileLocations(const QString& programFolder, const QString& configHome, const QString& dataHome,
                                  FileConvention convention = NativeFileConvention);

// The locations for this run, from AppDir() and the desktop's standard folders.
FileLocations ProgramFileLocations();

// Makes the folders of an installed copy and copies the supplied targets.ini there when
// the user has none, whole or not at all. Raises Error("Unable to write to <path>...") when
// that fails.
void PrepareFileLocations(const FileLocations& locations);

// The help to open: "quillbay.chm" beside the executable when it exists, else the HTML
// guide beside it (help/) or in the installed share folder; the .chm path when neither exists.
QString HelpFilePath();

QString OptionsFilePath();
QString TargetsFilePath();
QString DatabaseFilePath();
