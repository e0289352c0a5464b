#include "skin/SkinnedWindow.h"

#include "skin/Region.h"
#include "skin/modMoveForm.h"

#include <QDialog>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

quint32 SkinnedWindow::ApplySkin(QWidget *window, const QImage &skin)
{
    if (!window)
        return 0;
    quint32 transColor = 1;
    Region region;
    region.ScanPicture(skin, transColor);
    region.OffsetHeader(window);
    QPalette palette = window->palette();
    palette.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(skin)));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
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

void SkinnedWindow::SkinByPicture(QWidget *window, QLabel *picture)
{
    ApplySkin(window, picture->pixmap().toImage());
    modMoveForm::WireDrag(picture, window);
}
