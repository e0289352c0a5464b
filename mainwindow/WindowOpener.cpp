#include "mainwindow/WindowOpener.h"

#include "account/frmAlias.h"
#include "feedback/FeedbackWindow.h"
#include "feedback/WebSite.h"
#include "history/frmRecent.h"
#include "mainwindow/HoverButtons.h"
#include "phonebook/frmPhoneBook.h"

WindowOpener::WindowOpener(QWidget *owner, const PhoneServices &services, HoverButtons &hover)
    : owner_(owner), services_(services), hover_(hover)
{
}

int WindowOpener::RunModal(QDialog &dialog)
{
    hover_.ReleaseCapture();
    return services_.runModal ? services_.runModal(dialog) : dialog.exec();
}

void WindowOpener::ShowModeless(QWidget *window)
{
    hover_.ReleaseCapture();
    window->show();
    window->raise();
    window->activateWindow();
}

void WindowOpener::ShowMessage(const QString &text, const QString &title, platform::MsgIcon icon)
{
    hover_.ReleaseCapture();
    if (services_.messages)
        services_.messages->Show(text, title, icon, platform::MsgButtons::OKOnly, owner_);
}

void WindowOpener::OpenPhoneBook(const NumberSink &fillNumber)
{
    openNumberWindow<frmPhoneBook>(
        QStringLiteral("The phone book cannot be opened: there is no folder to keep it in."), fillNumber);
}

void WindowOpener::OpenRecentCalls(const NumberSink &fillNumber)
{
    openNumberWindow<frmRecent>(QStringLiteral("There are no recent calls: there is no folder to keep them in."),
                                fillNumber);
}

template <typename Window>
void WindowOpener::openNumberWindow(const QString &noFolderText, const NumberSink &fillNumber)
{
    if (!services_.messages)
        return;
    const QString &folder = services_.phone.dataFolder;
    if (folder.isEmpty()) {
        services_.messages->Show(noFolderText, QString(), platform::MsgIcon::Exclamation);
        return;
    }
    Window window(folder, *services_.messages, owner_);
    QObject::connect(&window, &Window::CallNumber, owner_, fillNumber);
    RunModal(window);
}

void WindowOpener::OpenAlias()
{
    if (!services_.settings || !services_.messages)
        return;
    if (!alias_) {
        alias_ = new frmAlias(*services_.settings, *services_.messages, owner_);
        alias_->setAttribute(Qt::WA_DeleteOnClose);
    }
    ShowModeless(alias_);
}

frmAlias *WindowOpener::AliasWindow() const
{
    return alias_;
}

void WindowOpener::OpenHomePage()
{
    if (services_.urls)
        services_.urls->Open(WebSite::HomePage());
}

void WindowOpener::OpenUserGuide()
{
    if (services_.urls)
        services_.urls->Open(WebSite::UserGuide());
}

void WindowOpener::OpenFeedback()
{
    if (QWidget *window = services_.feedback ? services_.feedback->Window(owner_) : nullptr)
        ShowModeless(window);
}
