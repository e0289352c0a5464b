#pragma once
#include <QImage>
#include <QString>
#include <map>

// Every picture laid over a skin, keyed by picture name ("offPC", "on5",
// "close", ...). Each is drawn on a copy of the skin underneath it, so its
// edges disappear into the body.
namespace Buttons {

std::map<QString, QImage> all(const QImage &mainSkin, const QImage &phoneBookSkin);
// Window icon, square, with transparency.
QImage icon(int size);
// The sizes the icon is drawn at for the desktop's icon theme (hicolor),
// each kept as icons/hicolor/NxN/apps/softphone.png.
inline constexpr int themeIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
QString themeIconFile(int size);

// Where the slider thumb's background is taken from (it slides along a
// groove that looks the same over its whole length).
QRect thumbSource();

} // namespace Buttons
