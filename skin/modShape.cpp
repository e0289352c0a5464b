#include "skin/modShape.h"

#include "platform/IScreenMetrics.h"
#include "skin/RegionBands.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace modShape {

QRegion RoundRectRegion(int x1, int y1, int x2, int y2, int ellipseWidth, int ellipseHeight)
{
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (right <= left || bottom <= top)
        return {};
    const double rx = std::clamp(ellipseWidth, 0, right - left) / 2.0;
    const double ry = std::clamp(ellipseHeight, 0, bottom - top) / 2.0;

    RegionBands bands;
    for (int y = top; y < bottom; ++y) {
        // How far the corner ellipse eats into this row, taken at the row's centre.
        const double yc = y + 0.5;
        const double dy = yc < top + ry ? top + ry - yc : (yc > bottom - ry ? yc - (bottom - ry) : 0.0);
        double inset = 0.0;
        if (ry > 0.0 && dy > 0.0)
            inset = rx - rx * std::sqrt(std::max(0.0, 1.0 - (dy / ry) * (dy / ry)));
        const int cut = int(std::lround(inset));
        bands.BeginRow(y);
        bands.AddRun(left + cut, right - cut);
        bands.EndRow();
    }
    return bands.ToRegion();
}

void MakeRoundedForm(QWidget *form, const platform::IScreenMetrics &screen)
{
    if (!form)
        return;
    // The size goes through twips and back as the window system keeps it, so
    // a fractional factor rounds the way every other form size does.
    const double tx = screen.TwipsPerPixelX() > 0.0 ? screen.TwipsPerPixelX() : 1.0;
    const double ty = screen.TwipsPerPixelY() > 0.0 ? screen.TwipsPerPixelY() : 1.0;
    const int w = platform::TwipsToPixels(form->width() * tx, tx);
    const int h = platform::TwipsToPixels(form->height() * ty, ty);
    QRegion shape = RoundRectRegion(10, 10, w, h - 45, 150, 100);
    if (shape.isEmpty())
        shape = QRegion(-1, -1, 1, 1); // too small for the shape: nothing visible, as an empty mask would not do
    form->setMask(shape);
}

} // namespace modShape
