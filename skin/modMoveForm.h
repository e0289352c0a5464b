#pragma once
#include <QPoint>
#include <QRect>
#include <Qt>

class QWidget;
namespace platform {
class IScreenMetrics;
}

// Moving a borderless window by dragging its skin. While the pointer moves a
// dotted outline of the window follows it; the window itself moves once, when
// the button is released. There is one mouse, so one drag state serves every
// window. All coordinates are pixels; x and y are client coordinates of the
// form.
namespace modMoveForm {

struct DragState {
    float pressX = 0, pressY = 0;     // pointer at the press
    QPoint grabPoint;                 // the press point rounded half to even
    QPoint grabPointOnScreen;
    QRect windowRect;                 // the window's frame rectangle at the press
    QPoint currentPoint;              // latest pointer position, on the screen
    QRect outline;                    // where the outline should be
    QRect drawnOutline;               // where it was last drawn
    bool outlineOnScreen = false;
    float twipsPerPixelX = 15, twipsPerPixelY = 15; // read at the press
    bool systemMove = false;          // the window system runs this drag
};

// Where the twips per pixel come from; nullptr means the primary screen.
// The metrics object must outlive its use.
void SetScreenMetrics(const platform::IScreenMetrics *screen);
const DragState &State();
// The outline window; nullptr until the first drag draws it.
QWidget *OutlineWindow();

void BeginFormDrag(QWidget *form, double x, double y);
void TrackFormDrag(QWidget *form, double x, double y);
void EndFormDrag(QWidget *form, double x, double y);

// The skin picture's press, move and release, as every skinned window wires
// them: any button starts a drag, only the left button alone tracks it, and
// a release more than 5 pixels from the press on either axis moves the window.
void SkinMouseDown(QWidget *form, double x, double y);
void SkinMouseMove(QWidget *form, Qt::MouseButtons buttons, double x, double y);
void SkinMouseUp(QWidget *form, double x, double y);

// Routes picture1's mouse events to the three handlers above for form.
void WireDrag(QWidget *picture1, QWidget *form);

} // namespace modMoveForm
