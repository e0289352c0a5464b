#pragma once
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class QPluginLoader;
namespace platform {
class IScreenMetrics;
}

// frmFeedBack, the provider's feedback page in a window of its own. The
// browser in it is Chromium, far larger than the rest of the program, so it
// lives in a module of its own that is loaded at the first click, not at
// start-up.
class FeedbackWindow {
public:
    FeedbackWindow(QUrl page, const platform::IScreenMetrics *screen, QString modulePath = DefaultModulePath());
    ~FeedbackWindow();
    FeedbackWindow(const FeedbackWindow &) = delete;
    FeedbackWindow &operator=(const FeedbackWindow &) = delete;

    // The browser module beside the program when it is there (a build
    // tree), else the one in the installation's library folder; when neither
    // exists, the one beside the program, which the loader names as missing.
    static QString DefaultModulePath();

    // The window, made and loaded on first use; while it is open the same
    // window, not loaded again. Closing it unloads it, so the next call
    // loads the page afresh. Null when the module cannot be loaded, or for
    // root without QTWEBENGINE_DISABLE_SANDBOX=1 (said on standard error only).
    QWidget *Window(QWidget *owner);

private:
    QUrl page_;
    const platform::IScreenMetrics *screen_;
    QString modulePath_;
    std::unique_ptr<QPluginLoader> loader_;
    QPointer<QWidget> window_;
};
