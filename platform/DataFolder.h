#pragma once
#include <QString>

namespace platform {

// Where the program keeps its files: the executable's folder when files can
// be made there, else the per-user data folder ".../Softphone", created when
// missing.
QString ProgramDataFolder();
// The same choice for a given program folder.
QString ChooseDataFolder(const QString &programFolder);
// Makes the folder and any missing parents; the ones made here are readable
// by their owner only (0700), whatever the umask. False when it cannot be made.
bool MakePrivateFolder(const QString &path);

} // namespace platform
