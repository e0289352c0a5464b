#pragma once
#include <QRegion>

class QWidget;
namespace platform {
class IScreenMetrics;
}

namespace modShape {

// Gives the form a fixed rounded-rectangle outline: left 10, top 10, right
// its width, bottom its height − 45, corner ellipse 150 × 100.
void MakeRoundedForm(QWidget *form, const platform::IScreenMetrics &screen);

// The region of a rounded rectangle covering columns [left, right) and rows
// [top, bottom) (either corner first), its corners cut by an ellipse of the
// given width and height (at most the rectangle's own).
QRegion RoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);

} // namespace modShape
