// A skinned window on a real display, for tst_skinshape: a disc on the key
// colour, shaped and wired for dragging like the phone's windows. Reports on
// stdout:
//   ready X Y W H                  once shown (frame rectangle on the screen)
//   press X Y                      each press that reaches the window (client coordinates)
//   pos X Y W H OUTLINE            answer to "pos" on stdin; OUTLINE 1 while shown
// and ends on "quit".

#include "skin/SkinnedWindow.h"
#include "skin/modMoveForm.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class PressReporter : public QObject {
protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress) {
            const QPoint p = static_cast<QMouseEvent *>(event)->position().toPoint();
            say(QStringLiteral("press %1 %2").arg(p.x()).arg(p.y()));
        }
        return false;
    }
};

QImage discSkin()
{
    QImage skin(160, 120, QImage::Format_RGB32);
    skin.fill(qRgb(0xff, 0x00, 0xff));
    QPainter p(&skin);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x90, 0x40));
    p.drawEllipse(QPoint(80, 60), 50, 50);
    return skin;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget form(nullptr, Qt::FramelessWindowHint);
    form.setGeometry(100, 100, 160, 120);
    auto *picture1 = new QWidget(&form);
    picture1->setGeometry(form.rect());
    PressReporter reporter;
    picture1->installEventFilter(&reporter);
    SkinnedWindow::ApplySkin(&form, discSkin());
    modMoveForm::WireDrag(picture1, &form);
    form.show();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        const QByteArray command = QByteArray(line, n > 0 ? int(n) : 0).trimmed();
        if (n <= 0 || command == "quit") {
            app.quit();
        } else if (command == "pos") {
            const QRect r = form.frameGeometry();
            const QWidget *outline = modMoveForm::OutlineWindow();
            say(QStringLiteral("pos %1 %2 %3 %4 %5")
                    .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())
                    .arg(outline && outline->isVisible() ? 1 : 0));
        }
    });
    // Ready once the window is on the screen.
    QTimer exposed;
    QObject::connect(&exposed, &QTimer::timeout, [&] {
        if (!form.windowHandle() || !form.windowHandle()->isExposed())
            return;
        exposed.stop();
        const QRect r = form.frameGeometry();
        say(QStringLiteral("ready %1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
    });
    exposed.start(20);
    return app.exec();
}
