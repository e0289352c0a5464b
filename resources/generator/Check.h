#pragma once
#include <QString>
#include <QStringList>

// Verifies the pictures in a resources folder: sizes, the key colour and
// outline of each skin, and that button pictures blend into their skin.
// Returns the faults found, empty when all is well.
namespace Check {

QStringList run(const QString &folder);

} // namespace Check
