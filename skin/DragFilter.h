#pragma once
#include <QObject>
#include <QPointer>

class QWidget;

// Hands a skin picture's mouse events to the drag handlers, in the client
// coordinates of the window the picture belongs to. Owned by the picture.
class DragFilter : public QObject {
public:
    DragFilter(QWidget *picture, QWidget *form);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> picture_;
    QPointer<QWidget> form_;
};
