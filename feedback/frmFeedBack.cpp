#include "feedback/frmFeedBack.h"

#include <QWebEngineView>

frmFeedBack::frmFeedBack(QSize clientSize, QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("frmFeedBack"));
    setWindowTitle(QStringLiteral("Give Your FeedBack"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(clientSize);
    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
}

void frmFeedBack::Form_Load(const QUrl &page)
{
    WebBrowser1->load(page);
    // The window's size in pixels; it has no frame yet, so this is the client area.
    WebBrowser1->setGeometry(QRect(QPoint(0, 0), frameGeometry().size()));
}
