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
    // How a window shows its outline. Shape: the window system cuts the
    // window (X11 without a compositor). Alpha: every pixel outside the
    // outline is transparent and the compositor shows what lies beneath
    // (Wayland, where a cut only limits where the pointer reaches, and X11
    // with a compositor, which XWayland does not cut). Both take the same
    // outline, and both keep the pointer to it.
    enum class Outline { Shape, Alpha };
    static Outline DefaultOutline();

    // Cuts the window to the skin's non-key pixels (key = the skin's
    // bottom-left pixel) and sets the skin as its background at the client
    // origin; picture, when given, is the control that shows the skin, and
    // shows it cut the same way. Returns the key colour, packed blue-lowest.
    // Runs before the window is first shown: a window becomes translucent
    // only as it is created.
    static quint32 ApplySkin(QWidget *window, const QImage &skin, QLabel *picture = nullptr,
                             Outline how = DefaultOutline());

    // The frame every skinned dialog shares: no caption or border of the
    // system's, modal, named for tests and titled for the task bar.
    static void PrepareDialog(QDialog *dialog, const QString &name, const QString &title);
    // Shapes the window by its skin picture and lets that picture drag it.
    static void SkinByPicture(QWidget *window, QLabel *picture, Outline how = DefaultOutline());
};
