#include "feedback/FeedbackWindow.h"

#include "feedback/IFeedbackBrowser.h"
#include "platform/IScreenMetrics.h"

#include <QCoreApplication>
#include <QPluginLoader>

namespace {
// The window's client area as designed, in twips.
constexpr double kClientWidthTwips = 4935;
constexpr double kClientHeightTwips = 7455;
} // namespace

FeedbackWindow::FeedbackWindow(QUrl page, const platform::IScreenMetrics *screen, QString modulePath)
    : page_(std::move(page)), screen_(screen), modulePath_(std::move(modulePath))
{
}

// The module stays loaded: Chromium cannot be started twice in a process.
FeedbackWindow::~FeedbackWindow() = default;

void FeedbackWindow::PrepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QString FeedbackWindow::DefaultModulePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/softphone-feedback.so");
}

QWidget *FeedbackWindow::Window(QWidget *owner)
{
    if (window_)
        return window_;
    if (!loader_)
        loader_ = std::make_unique<QPluginLoader>(modulePath_);
    auto *browser = qobject_cast<IFeedbackBrowser *>(loader_->instance());
    if (!browser) {
        qWarning("The feedback window cannot be shown: %s", qPrintable(loader_->errorString()));
        return nullptr;
    }
    const double twipsX = screen_ ? screen_->TwipsPerPixelX() : 15.0;
    const double twipsY = screen_ ? screen_->TwipsPerPixelY() : 15.0;
    const QSize client(platform::TwipsToPixels(kClientWidthTwips, twipsX),
                       platform::TwipsToPixels(kClientHeightTwips, twipsY));
    window_ = browser->CreateFeedbackWindow(page_, client, owner);
    return window_;
}
