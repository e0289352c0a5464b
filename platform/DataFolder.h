#pragma once
#include <QString>
#include <QStringList>

namespace platform {

// The user's own folder for the phone's files: "Softphone" in the XDG data
// home (~/.local/share/Softphone), made owner-only when missing.
QString UserDataFolder();
// Makes the folder and any missing parents; the ones made here are readable
// by their owner only (0700), whatever the umask. False when it cannot be made.
bool MakePrivateFolder(const QString &path);

// Earlier versions kept the phone book and the call history beside the
// program when they could write there. MoveDataFiles carries the named files
// from that folder into the data folder, never overwriting one: where both
// folders hold a file of that name and they differ, the old one is kept
// beside the other under a free name ("PhoneBook (old).txt"). Identical
// copies become one. Returns what the user should be told, once: one text
// for each file kept twice or left behind; nothing when all went quietly.
QStringList MoveDataFiles(const QString &programFolder, const QString &dataFolder, const QStringList &names);

} // namespace platform
