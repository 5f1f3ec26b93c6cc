#pragma once

#include <QProcessEnvironment>
#include <QString>

// Where the programs keep their database, in this order: the path in QUILLON_DB; sweeprun.db
// beside the program when it runs from where it was built; and for an installed program (one
// standing in installedBinDir) $XDG_DATA_HOME/quillon/sweeprun.db, by default
// ~/.local/share/quillon/sweeprun.db.
QString databasePath(const QString& programDir, const QString& installedBinDir,
                     const QProcessEnvironment& environment);

// The same for this process: its own folder, the install prefix it was built for, and its
// environment.
QString databasePath();

// Creates the database's folder where it is missing, for the user alone (0700): the log names
// the user's files. Returns why it could not be created, or nothing.
QString prepareDatabaseFolder(const QString& path);
