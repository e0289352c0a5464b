#pragma once
#include <QWidget>

// The dotted outline that follows the pointer while a window is dragged: a
// frameless top-level window that shows only its one-pixel border and lets
// every input through. Hiding it leaves the screen as it was.
class DragOutline : public QWidget {
public:
    DragOutline();

    // Shows the outline on the screen rectangle r (outer edge included).
    void Draw(const QRect &r);
    // Takes the outline off the screen.
    void Erase();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
};
