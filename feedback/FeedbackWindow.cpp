#include "feedback/FeedbackWindow.h"

#include "feedback/IFeedbackBrowser.h"
#include "platform/IScreenMetrics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QPluginLoader>

#include <unistd.h>

namespace {
// The window's client area as designed, in twips.
constexpr double kClientWidthTwips = 4935;
constexpr double kClientHeightTwips = 7455;

// Chromium started as root inside its sandbox ends the whole program, call
// and all; only the user can decide to run it without.
bool BrowserWouldEndProgram()
{
    return ::geteuid() == 0 && qEnvironmentVariable("QTWEBENGINE_DISABLE_SANDBOX") != QLatin1String("1")
           && !qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox"));
}
} // namespace

// Qt's own (exported by Qt GUI, declared only in its private headers).
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {
// The browser draws through OpenGL contexts shared with the application's.
// Asked for before the application is made, Qt would make that shared
// context at start-up and load the OpenGL driver (on a machine without a
// GPU Mesa's llvmpipe: some 55 MB) into every phone, browser or not. So it
// is made here, once, just before the browser is loaded.
void shareOpenGlContexts()
{
    if (QOpenGLContext::globalShareContext())
        return;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto *context = new QOpenGLContext(QCoreApplication::instance());
    if (context->create())
        qt_gl_set_global_share_context(context);
    else
        delete context;
}
} // namespace

FeedbackWindow::FeedbackWindow(QUrl page, const platform::IScreenMetrics *screen, QString modulePath)
    : page_(std::move(page)), screen_(screen), modulePath_(std::move(modulePath))
{
}

// The module stays loaded: Chromium cannot be started twice in a process.
FeedbackWindow::~FeedbackWindow() = default;

QString FeedbackWindow::DefaultModulePath()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString name = QStringLiteral("softphone-feedback.so");
    // A build tree (or a copy of the program with its module) keeps it
    // beside the program; an installed program finds it in its library
    // folder, wherever the whole installation was put.
    const QString beside = programFolder + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString folder = QStringLiteral(SOFTPHONE_MODULE_FOLDER);
    const QString installed = QDir::cleanPath(
        (QDir::isAbsolutePath(folder) ? folder : programFolder + QLatin1Char('/') + folder) + QLatin1Char('/') + name);
    return QFileInfo::exists(installed) ? installed : beside;
}

QWidget *FeedbackWindow::Window(QWidget *owner)
{
    if (window_)
        return window_;
    if (BrowserWouldEndProgram()) {
        qWarning("The feedback window is not shown to root: its browser needs QTWEBENGINE_DISABLE_SANDBOX=1 then");
        return nullptr;
    }
    if (!loader_) {
        shareOpenGlContexts();
        loader_ = std::make_unique<QPluginLoader>(modulePath_);
    }
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
