#pragma once
#include <QUrl>

// The provider's web site. Its scheme, host and port are a setting of the
// build (SOFTPHONE_WEB_SITE); the paths are fixed.
namespace WebSite {

QUrl FeedbackPage(); // shown in the feedback window
QUrl HomePage();     // handed to the desktop
QUrl UserGuide();    // handed to the desktop, PDF and all

} // namespace WebSite
