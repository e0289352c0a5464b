// The phone program: the real services, the single-instance check, the
// phone window.
#include "app/Program.h"
#include "platform/DataFolder.h"
#include "mainwindow/frmSoftphone.h"
#include "platform/LockFileInstance.h"
#include "platform/QuitOnSignal.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Program::Describe();

    Program program;
    platform::LockFileInstance instance(platform::LockFileInstance::defaultLockPath(program.settings.filePath()));
    if (!frmSoftphone::Form_Initialize(instance, program.messages))
        return 1;

    frmSoftphone form(program.Wire(platform::ProgramDataFolder()));
    form.Form_Load();
    if (form.IsExiting())
        return 0;
    // Being told to end (log-out, kill) ends like the close button does.
    platform::QuitOnSignal quitOnSignal([&form] { form.close(); });
    form.show();
    return app.exec();
}
