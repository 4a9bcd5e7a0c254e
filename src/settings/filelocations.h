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

// A portable copy keeps its files beside the executable. An installed copy (its folder is
// not writable, or it sits in bin/ beside share/quillbay/) keeps them in the user's
// configuration and data folders, given here as the bases (~/.config, ~/.local/share);
// a portable copy whose folder is not writable still reads the database beside it.
FileLocations DecideFileLocations(const QString& programFolder, const QString& configHome, const QString& dataHome);

// The locations for this run, from AppDir() and the desktop's standard folders.
FileLocations ProgramFileLocations();

// Makes the folders of an installed copy and copies the supplied targets.ini there when
// the user has none. Raises Error("Unable to write to <path>") when that fails.
void PrepareFileLocations(const FileLocations& locations);

// The help to open: "quillbay.chm" beside the executable when it exists, else the HTML
// guide beside it (help/) or in the installed share folder; the .chm path when neither exists.
QString HelpFilePath();

QString OptionsFilePath();
QString TargetsFilePath();
QString DatabaseFilePath();
