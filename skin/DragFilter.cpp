#include "skin/DragFilter.h"

#include "skin/modMoveForm.h"

#include <QMouseEvent>
#include <QWidget>

DragFilter::DragFilter(QWidget *picture, QWidget *form) : QObject(picture), picture_(picture), form_(form) {}

bool DragFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != picture_ || !form_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // a quick second press is still a press that may drag
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        break;
    default:
        return false;
    }
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPointF p = picture_->mapTo(form_, mouse->position());
    switch (event->type()) {
    case QEvent::MouseMove:
        modMoveForm::SkinMouseMove(form_, mouse->buttons(), p.x(), p.y());
        break;
    case QEvent::MouseButtonRelease:
        modMoveForm::SkinMouseUp(form_, p.x(), p.y());
        break;
    default:
        modMoveForm::SkinMouseDown(form_, p.x(), p.y());
        break;
    }
    return false; // the picture's own handlers still see the event
}
