#pragma once
#include <QUrl>
#include <QWidget>

class QWebEngineView;

// The feedback window: an ordinary framed window holding one browser.
// Closing it deletes it.
class frmFeedBack : public QWidget {
    Q_OBJECT
public:
    frmFeedBack(QSize clientSize, QWidget *owner);

    // Navigates to page and lays the browser over the client area. The
    // browser keeps that size when the window is resized later.
    void Form_Load(const QUrl &page);

    QWebEngineView *WebBrowser1 = nullptr;
};
