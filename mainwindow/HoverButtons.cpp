#include "mainwindow/HoverButtons.h"

#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>

HoverButtons::HoverButtons(QObject *parent) : QObject(parent) {}

void HoverButtons::Add(QLabel *button, const QPixmap &hover, const QPixmap &normal, bool withRelease)
{
    buttons_.insert(button, {hover, normal, withRelease});
    button->setMouseTracking(true); // moves arrive with no button held too
    button->installEventFilter(this);
    // Its window learns when a modal window over it has closed.
    button->window()->installEventFilter(this);
}

bool HoverButtons::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowUnblocked && lit_ && watched == lit_->window()) {
        settle();
        return false;
    }
    auto *button = qobject_cast<QLabel *>(watched);
    const auto it = buttons_.constFind(button);
    if (it == buttons_.constEnd())
        return false;
    // A disabled button neither lights nor holds the mouse; one that is
    // disabled while lit goes dark and lets go.
    if (event->type() == QEvent::EnabledChange && !button->isEnabled() && lit_ == button) {
        hoverFlag_ = false;
        lit_ = nullptr;
        button->setPixmap(it->normal);
        if (QWidget::mouseGrabber() == button)
            button->releaseMouse();
        return false;
    }
    if (!button->isEnabled())
        return false;
    if (event->type() == QEvent::MouseMove) {
        const QPointF p = static_cast<QMouseEvent *>(event)->position();
        if (!hoverFlag_) {
            hoverFlag_ = true;
            lit_ = button;
            button->setPixmap(it->hover);
            button->grabMouse();
        } else if (p.x() < 0 || p.y() < 0 || p.x() > button->width() || p.y() > button->height()) {
            hoverFlag_ = false;
            lit_ = nullptr;
            button->setPixmap(it->normal);
            button->releaseMouse();
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        // A release ends the hold on the mouse; buttons with a release
        // handler take it again, the others stay lit without it.
        if (it->withRelease) {
            hoverFlag_ = true;
            lit_ = button;
            button->grabMouse();
        } else {
            button->releaseMouse();
        }
    }
    return false;
}

void HoverButtons::ReleaseCapture()
{
    auto *holder = qobject_cast<QLabel *>(QWidget::mouseGrabber());
    if (holder && buttons_.contains(holder))
        holder->releaseMouse();
}

void HoverButtons::settle()
{
    // The pointer left while another window had it: no move reached the
    // button to say so.
    const auto it = buttons_.constFind(lit_);
    if (it == buttons_.constEnd())
        return;
    if (lit_->isVisible() && lit_->rect().contains(lit_->mapFromGlobal(QCursor::pos()))) {
        if (it->withRelease)
            lit_->grabMouse();
        return;
    }
    lit_->setPixmap(it->normal);
    if (QWidget::mouseGrabber() == lit_)
        lit_->releaseMouse();
    hoverFlag_ = false;
    lit_ = nullptr;
}
