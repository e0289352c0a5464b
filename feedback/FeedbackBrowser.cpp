// The browser module: loaded by the program on the first click on the
// feedback button, never linked into it.
#include "feedback/IFeedbackBrowser.h"
#include "feedback/frmFeedBack.h"

#include <QAccessible>
#include <QObject>

class FeedbackBrowser : public QObject, public IFeedbackBrowser {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IFeedbackBrowser_iid)
    Q_INTERFACES(IFeedbackBrowser)

public:
    QWidget *CreateFeedbackWindow(const QUrl &page, QSize clientSize, QWidget *owner) override
    {
        // Qt leaves web pages out of the accessibility tree on Linux unless
        // told; a screen reader in use is told the page like every other
        // window. Read once, when the first browser starts.
        if (QAccessible::isActive() && !qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
            qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
        auto *window = new frmFeedBack(clientSize, owner);
        window->Form_Load(page);
        return window;
    }
};

#include "FeedbackBrowser.moc"
