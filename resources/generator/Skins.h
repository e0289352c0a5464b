#pragma once
#include <QImage>
#include <QPainterPath>

// The window backgrounds. Each is opaque, exactly its window's size, and
// has the key colour everywhere outside the body.
namespace Skins {

QImage main();
QImage login();
QImage phoneBook();
QImage recent();

// Outline of the LCD panel of the main window, grown by grow pixels.
QPainterPath displayPath(qreal grow);

} // namespace Skins
