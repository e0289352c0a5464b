#pragma once
#include <QString>
#include <vector>

// Where the main window's controls sit, in pixels of the window unless a
// control lives in the speaker slider's frame, whose unit is the twip.
struct ControlPlace {
    QString name;
    double left, top, height, width;
};

namespace ControlLayout {

const std::vector<ControlPlace> &MainWindowPlaces();
// The picture a control shows when the pointer is not over it; empty for
// controls the skin itself draws.
QString NormalPicture(const QString &name);
// The picture a control shows while the pointer is over it; empty for the
// controls that do not light.
QString HoverPicture(const QString &name);

} // namespace ControlLayout
