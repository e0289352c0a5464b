#pragma once
#include <QColor>
#include <QString>

// The phone's pictures, compiled in as Qt resources, and the colours that
// widgets drawn over them should use so that they look like part of the art.
namespace Artwork {

// ":/skins/<window>.png" for "main", "login", "phonebook" and "recent".
// Every pixel outside a skin's outline has the colour of its bottom-left pixel.
QString skinPath(const QString &window);
// ":/buttons/<name>.png": "offPC", "onPC", "off1", "onHash", "close", ...
QString buttonPath(const QString &name);
// ":/icon.png" (64 x 64) or ":/icon32.png" (32 x 32).
QString iconPath(int size = 64);

QColor keyColour();          // fills every skin outside its outline

QColor displayBackground();  // LCD panel behind lblMsg, lblBalance, cmbPhoneNo
QColor displayText();        // status text on the LCD
QColor displayDimText();     // secondary text on the LCD (balance, hints)

QColor panelBackground();    // light card of the login, phone-book and recent windows
QColor panelText();          // labels on that card
QColor panelWarningText();   // e.g. "(Optional)"
QColor fieldBorder();        // frames of text boxes and lists on the card

QColor bodyText();           // text straight on the dark body
QColor accent();             // focus and hover highlight

} // namespace Artwork
