#pragma once
#include <QLabel>

// A picture that acts as a button: it shows an image and reports a click
// when the left button is pressed and released on it.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(const QString &name, QWidget *parent = nullptr);
    // Something listens to its clicks: it is a button.
    bool IsClickable() const;

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool pressed_ = false;
};
