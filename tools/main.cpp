// softphone-layout: the phone window's controls with a button that writes
// where each of them sits. A tool for developers; the phone never opens it.
#include "platform/QtScreenMetrics.h"
#include "tools/Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    platform::QtScreenMetrics screen;
    Form1 form;
    form.CarryMainWindowControls(&screen);
    form.show();
    return app.exec();
}
