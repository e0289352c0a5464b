#pragma once
#include "mainwindow/PhoneServices.h"

#include <QPointer>
#include <QString>

#include <functional>

class HoverButtons;
class QWidget;
class frmAlias;

// The windows the phone window opens: the login window, the phone book, the
// recent calls, the alias dialog, the provider's pages and the messages.
// Each opens through RunModal or ShowModeless: a lit button must let go of
// the mouse first, or it would take the new window's clicks.
class WindowOpener {
public:
    // owner: the phone window, which the windows belong to.
    WindowOpener(QWidget *owner, const PhoneServices &services, HoverButtons &hover);

    int RunModal(QDialog &dialog);
    void ShowModeless(QWidget *window);
    void ShowMessage(const QString &text, const QString &title, platform::MsgIcon icon);

    // The phone book and the recent calls: modal and fresh each time. A
    // number handed back goes to fillNumber; it is never dialled from there.
    using NumberSink = std::function<void(const QString &number)>;
    void OpenPhoneBook(const NumberSink &fillNumber);
    void OpenRecentCalls(const NumberSink &fillNumber);
    // One alias dialog at a time, without waiting for it; once closed, the
    // next one loads the alias stored at that moment.
    void OpenAlias();
    frmAlias *AliasWindow() const;
    // The provider's web site: home page and user guide on the desktop, the
    // feedback page in its own window (made once, brought up again).
    void OpenHomePage();
    void OpenUserGuide();
    void OpenFeedback();

private:
    template <typename Window>
    void openNumberWindow(const QString &noFolderText, const NumberSink &fillNumber);

    QWidget *owner_;
    const PhoneServices &services_;
    HoverButtons &hover_;
    QPointer<frmAlias> alias_;
};
