#pragma once
#include "skin/cDIBSection.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>
#include <memory>

class QWidget;

// Cuts a window's outline from its skin picture: every pixel of the key
// colour is left out, every other pixel is kept.
class Region {
public:
    Region() = default;
    Region(const Region &) = delete;
    Region &operator=(const Region &) = delete;

    // Builds hndRegion from the picture, in picture coordinates. A transColor
    // of 1 asks for the bottom-left pixel's colour as the key, which is handed
    // back packed blue-lowest (blue + green × 256 + red × 65536); any other
    // value is used as given in that packing. The last column never belongs
    // to the region. A null picture, or one too large to copy, gives an empty
    // region.
    void ScanPicture(const QImage &picture, quint32 &transColor);

    // Moves hndRegion from client to window coordinates when the form has a
    // frame; a frameless form is left alone.
    void OffsetHeader(QWidget *tmpForm);

    // Gives the window a copy of hndRegion as its outline.
    void ApplyRgn(QWidget *hwnd) const;

    // The picture with every pixel outside hndRegion fully transparent, on a
    // canvas of at least canvas's size (transparent beyond the picture):
    // where a compositor draws the window, the same outline by alpha.
    // Both are in picture coordinates (call before OffsetHeader).
    QImage CutPicture(const QImage &picture, const QSize &canvas = {}) const;

    // Frame offset of a form's client area: half the width difference for the
    // side, the rest of the height difference for caption plus top frame.
    static QPoint HeaderOffset(const QSize &outer, const QSize &client);

    QRegion hndRegion;

private:
    std::unique_ptr<cDIBSection> dib_;
};
