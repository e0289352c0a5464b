#include "mainwindow/PictureBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

namespace {

// A picture that answers clicks is a button to a screen reader too, and
// its "Press" does what a click does: without it the picture keys could be
// reached only with the pointer. One that nobody listens to (the skin, a
// lamp) stays a picture. Asked each time: the reader may come before the
// window has wired its clicks.
class PictureBoxAccessible : public QAccessibleWidget {
public:
    explicit PictureBoxAccessible(PictureBox *box) : QAccessibleWidget(box, QAccessible::Graphic) {}
    PictureBox *box() const { return static_cast<PictureBox *>(widget()); }
    QAccessible::Role role() const override { return box()->IsClickable() ? QAccessible::Button : QAccessible::Graphic; }
    QStringList actionNames() const override
    {
        return box()->IsClickable() ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString &name) override
    {
        // After the reader's call returns: a click may open a modal window.
        if (name == pressAction() && box()->IsClickable() && box()->isEnabled())
            QMetaObject::invokeMethod(box(), &PictureBox::Click, Qt::QueuedConnection);
    }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("PictureBox") && object && object->isWidgetType())
        return new PictureBoxAccessible(static_cast<PictureBox *>(object));
    return nullptr;
}

} // namespace

PictureBox::PictureBox(const QString &name, QWidget *parent) : QLabel(parent)
{
    static const bool factory = (QAccessible::installFactory(accessibleFactory), true);
    Q_UNUSED(factory);
    setObjectName(name);
}

bool PictureBox::IsClickable() const
{
    static const QMetaMethod click = QMetaMethod::fromSignal(&PictureBox::Click);
    return isSignalConnected(click);
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && isEnabled())
        emit Click();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    // A disabled button keeps its picture as drawn; the artwork itself says
    // what can be pressed.
    if (pixmap().isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, pixmap());
}
