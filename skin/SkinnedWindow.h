#pragma once
#include <QImage>
#include <QtGlobal>

class QWidget;

// The load step every skinned window runs once: take the outline of the skin
// and paint the skin as the window's background.
class SkinnedWindow {
public:
    // Cuts the window to the skin's non-key pixels (key = the skin's
    // bottom-left pixel) and sets the skin as its background at the client
    // origin. Returns the key colour, packed blue-lowest.
    static quint32 ApplySkin(QWidget *window, const QImage &skin);
};
