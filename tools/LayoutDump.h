#pragma once
#include <QLocale>
#include <QString>
#include <QStringList>

class QWidget;

// The positions of a window's controls written as the load routines place
// them ("With Picture2", ".Left=10", ... "End With").
namespace LayoutDump {

// Where a control was placed, in single precision and in its container's
// unit. A widget keeps whole pixels only, so the placement is kept beside it.
struct Placement {
    float Left, Top, Height, Width;
};
void SetPlacement(QWidget *control, const Placement &placement);
// The placement kept for the control, else its geometry in pixels.
Placement PlacementOf(const QWidget *control);

// A single-precision number as the default conversion writes it: up to 7
// significant digits, no trailing zeros, the locale's decimal separator and
// no group separator.
QString SingleText(float value, const QLocale &locale);

// The six lines of one control, each ended by CR LF.
QStringList Block(const QString &name, const Placement &placement, const QLocale &locale);

// The lines of every control on window that has a place (labels, pictures,
// text boxes, lists, combo and check boxes, buttons, frames and what they
// hold), in the order of the window's controls. Timers, menus, other kinds
// and the controls named in skip write nothing.
QStringList Lines(const QWidget *window, const QStringList &skip, const QLocale &locale);

} // namespace LayoutDump
