// Where the program's own files live: the folder of the running executable,
// or the folder named by TARNWICK_HOME (tests, packaged installs).
#pragma once

#include <QString>

namespace tarnwick {

// The program folder with a trailing '/'.
QString ProgramFolder();

// Joins a folder and a name with '/', unless the folder already ends in '/'.
QString JoinPath(const QString& folder, const QString& name);

// Program folder + "Tarnwick.dat".
QString TaskDatabasePath();

// Program folder + "Log/".
QString LogFolder();

} // namespace tarnwick
