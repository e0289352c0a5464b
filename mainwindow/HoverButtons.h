#pragma once
#include <QHash>
#include <QObject>
#include <QPixmap>

class QLabel;

// Picture buttons that light under the pointer. One flag for the whole
// window: a lit button holds the mouse so it sees the pointer leave, and no
// other button lights until it has.
class HoverButtons : public QObject {
    Q_OBJECT
public:
    explicit HoverButtons(QObject *parent = nullptr);

    // withRelease: a release takes the mouse again, so the button still
    // sees the pointer leave after a click.
    void Add(QLabel *button, const QPixmap &hover, const QPixmap &normal, bool withRelease);
    bool IsLit() const { return hoverFlag_; }
    // Lets go of the mouse before another window opens: a button holding it
    // would take every click meant for that window. The flag stays as it is,
    // until that window has closed: then a lit button the pointer has left
    // goes dark, and one it is still on holds the mouse again.
    void ReleaseCapture();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void settle();

    struct Pictures {
        QPixmap hover, normal;
        bool withRelease;
    };
    QHash<QLabel *, Pictures> buttons_;
    bool hoverFlag_ = false;
    QLabel *lit_ = nullptr; // the button that set the flag
};
