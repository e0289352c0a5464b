#pragma once
#include <QImage>
#include <QtGlobal>

class QDialog;
class QLabel;
class QString;
class QWidget;

// The load step every skinned window runs once: take the outline of the skin
// and paint the skin as the window's background.
class SkinnedWindow {
public:
    // Cuts the window to the skin's non-key pixels (key = the skin's
    // bottom-left pixel) and sets the skin as its background at the client
    // origin. Returns the key colour, packed blue-lowest.
    static quint32 ApplySkin(QWidget *window, const QImage &skin);

    // The frame every skinned dialog shares: no caption or border of the
    // system's, modal, named for tests and titled for the task bar.
    static void PrepareDialog(QDialog *dialog, const QString &name, const QString &title);
    // Shapes the window by its skin picture and lets that picture drag it.
    static void SkinByPicture(QWidget *window, QLabel *picture);
};
