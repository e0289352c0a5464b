#include "feedback/WebSite.h"

namespace WebSite {

namespace {
QUrl onSite(const char *path)
{
    // Checked when the build is configured: a scheme, a host, no path.
    return QUrl(QStringLiteral(SOFTPHONE_WEB_SITE) + QLatin1String(path));
}
} // namespace

QUrl FeedbackPage()
{
    return onSite("/support/feedbackmail.html");
}

QUrl HomePage()
{
    return onSite("/");
}

QUrl UserGuide()
{
    return onSite("/sip-softphone-user_guide.pdf");
}

} // namespace WebSite
