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
// What a screen reader calls the control ("Call", "Keypad 5"); empty for the
// two display labels, whose name is the text they show.
QString AccessibleName(const QString &name);
// The control's tooltip text; empty for controls without one.
QString ToolTip(const QString &name);

} // namespace ControlLayout
