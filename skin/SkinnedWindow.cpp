#include "skin/SkinnedWindow.h"

#include "platform/WindowSystem.h"
#include "skin/Region.h"
#include "skin/modMoveForm.h"

#include <QDialog>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

SkinnedWindow::Outline SkinnedWindow::DefaultOutline()
{
    return platform::WindowSystem::CompositorDrawsAlpha() ? Outline::Alpha : Outline::Shape;
}

quint32 SkinnedWindow::ApplySkin(QWidget *window, const QImage &skin, QLabel *picture, Outline how)
{
    if (!window)
        return 0;
    quint32 transColor = 1;
    Region region;
    region.ScanPicture(skin, transColor);
    QPixmap background = QPixmap::fromImage(skin);
    if (how == Outline::Alpha) {
        // The key colour never reaches the screen: the background and the
        // picture are drawn from the cut copy, on a window with alpha.
        window->setAttribute(Qt::WA_TranslucentBackground);
        const QImage cut = region.CutPicture(skin, window->size());
        background = QPixmap::fromImage(cut);
        if (picture)
            picture->setPixmap(QPixmap::fromImage(cut.copy(QRect(QPoint(), skin.size()))));
    }
    region.OffsetHeader(window);
    QPalette palette = window->palette();
    palette.setBrush(QPalette::Window, QBrush(background));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    // With alpha this is where the pointer reaches: clicks outside the
    // outline go to what lies beneath.
    region.ApplyRgn(window);
    return transColor; // the region goes with `region`; the window keeps its copy
}

void SkinnedWindow::PrepareDialog(QDialog *dialog, const QString &name, const QString &title)
{
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog->setModal(true);
}

void SkinnedWindow::SkinByPicture(QWidget *window, QLabel *picture, Outline how)
{
    ApplySkin(window, picture->pixmap().toImage(), picture, how);
    modMoveForm::WireDrag(picture, window);
}
