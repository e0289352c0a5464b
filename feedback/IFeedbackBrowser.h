#pragma once
#include <QSize>
#include <QUrl>
#include <QtPlugin>

class QWidget;

// What the browser module offers the program: the one type that crosses
// from the program into the module, loaded with QPluginLoader.
class IFeedbackBrowser {
public:
    virtual ~IFeedbackBrowser() = default;
    // A new feedback window of clientSize pixels over owner, loading page.
    // It deletes itself when closed.
    virtual QWidget *CreateFeedbackWindow(const QUrl &page, QSize clientSize, QWidget *owner) = 0;
};

#define IFeedbackBrowser_iid "Softphone.IFeedbackBrowser/1"
Q_DECLARE_INTERFACE(IFeedbackBrowser, IFeedbackBrowser_iid)
