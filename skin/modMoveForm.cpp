#include "skin/modMoveForm.h"

#include "skin/DragFilter.h"
#include "skin/DragOutline.h"
#include "platform/WindowSystem.h"
#include "platform/QtScreenMetrics.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <cmath>

namespace modMoveForm {

namespace {

DragState g_drag;
const platform::IScreenMetrics *g_screen = nullptr;
QPointer<DragOutline> g_outline;

void deleteOutline()
{
    delete g_outline.data();
}

DragOutline *outline()
{
    if (!g_outline) {
        g_outline = new DragOutline;
        qAddPostRoutine(deleteOutline); // a parentless window outlives no application
    }
    return g_outline;
}

QPoint roundHalfEven(double x, double y)
{
    return {int(std::nearbyint(x)), int(std::nearbyint(y))};
}

// Drawing the drawn outline once more takes it off the screen.
void eraseOutline()
{
    if (g_drag.outlineOnScreen && g_outline)
        g_outline->Erase();
    g_drag.outlineOnScreen = false;
}

void drawOutline()
{
    eraseOutline();
    outline()->Draw(g_drag.outline);
    g_drag.drawnOutline = g_drag.outline;
    g_drag.outlineOnScreen = true;
}

} // namespace

void SetScreenMetrics(const platform::IScreenMetrics *screen)
{
    g_screen = screen;
}

const DragState &State()
{
    return g_drag;
}

QWidget *OutlineWindow()
{
    return g_outline;
}

void BeginFormDrag(QWidget *form, double x, double y)
{
    if (!form)
        return;
    g_drag.grabPoint = roundHalfEven(x, y);
    g_drag.windowRect = form->frameGeometry();
    static const platform::QtScreenMetrics primary;
    const platform::IScreenMetrics &screen = g_screen ? *g_screen : primary;
    g_drag.twipsPerPixelX = float(screen.TwipsPerPixelX());
    g_drag.twipsPerPixelY = float(screen.TwipsPerPixelY());
    g_drag.grabPointOnScreen = form->mapToGlobal(g_drag.grabPoint);
    g_drag.outline = g_drag.windowRect;
    drawOutline();
}

void TrackFormDrag(QWidget *form, double x, double y)
{
    if (!form)
        return;
    g_drag.currentPoint = form->mapToGlobal(roundHalfEven(x, y));
    g_drag.outline = g_drag.windowRect.translated(g_drag.currentPoint - g_drag.grabPointOnScreen);
    drawOutline();
}

void EndFormDrag(QWidget *form, double x, double y)
{
    eraseOutline();
    if (!form)
        return;
    // The position goes through twips, the unit form positions are kept in;
    // with the factors read at the press it comes back unchanged.
    const double tx = g_drag.twipsPerPixelX > 0 ? g_drag.twipsPerPixelX : 1.0;
    const double ty = g_drag.twipsPerPixelY > 0 ? g_drag.twipsPerPixelY : 1.0;
    const double left = (g_drag.windowRect.left() + (x - g_drag.grabPoint.x())) * tx;
    const double top = (g_drag.windowRect.top() + (y - g_drag.grabPoint.y())) * ty;
    form->move(platform::TwipsToPixels(left, tx), platform::TwipsToPixels(top, ty));
}

void SkinMouseDown(QWidget *form, double x, double y)
{
    g_drag.pressX = float(x);
    g_drag.pressY = float(y);
    g_drag.systemMove = false;
    // Wayland lets no client place its own windows; its compositor moves them.
    if (form && platform::WindowSystem::OnWayland()) {
        eraseOutline();
        QWindow *window = form->window()->windowHandle();
        g_drag.systemMove = window && window->startSystemMove();
        return;
    }
    BeginFormDrag(form, x, y);
}

void SkinMouseMove(QWidget *form, Qt::MouseButtons buttons, double x, double y)
{
    if (buttons == Qt::LeftButton && !g_drag.systemMove)
        TrackFormDrag(form, x, y);
}

void SkinMouseUp(QWidget *form, double x, double y)
{
    if (g_drag.systemMove) {
        g_drag.systemMove = false;
        return;
    }
    if (std::fabs(g_drag.pressX - float(x)) > 5.0f || std::fabs(g_drag.pressY - float(y)) > 5.0f)
        EndFormDrag(form, x, y);
    else
        eraseOutline();
}

void WireDrag(QWidget *picture1, QWidget *form)
{
    if (picture1 && form)
        picture1->installEventFilter(new DragFilter(picture1, form));
}

} // namespace modMoveForm
