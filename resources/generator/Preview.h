#pragma once
#include <QString>

// Composes what the windows will look like from the pictures in a resources
// folder (buttons laid on the skins, stand-in widgets, outline cut against a
// desktop colour) and writes the pictures into outFolder.
namespace Preview {

bool write(const QString &resources, const QString &outFolder);

} // namespace Preview
