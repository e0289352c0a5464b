#include "resources/Artwork.h"

namespace Artwork {

QString skinPath(const QString &window) { return QStringLiteral(":/skins/%1.png").arg(window); }
QString buttonPath(const QString &name) { return QStringLiteral(":/buttons/%1.png").arg(name); }
QString iconPath(int size)
{
    return size <= 32 ? QStringLiteral(":/icon32.png") : QStringLiteral(":/icon.png");
}

// Pure magenta: far from every colour the bodies use, so the outline test is exact.
QColor keyColour() { return QColor(255, 0, 255); }

QColor displayBackground() { return QColor(0xd4, 0xe3, 0xdb); }
QColor displayText() { return QColor(0x17, 0x30, 0x2a); }
QColor displayDimText() { return QColor(0x4a, 0x63, 0x5b); }

QColor panelBackground() { return QColor(0xe7, 0xec, 0xf0); }
QColor panelText() { return QColor(0x1e, 0x28, 0x33); }
QColor panelWarningText() { return QColor(0xc0, 0x39, 0x2b); }
QColor fieldBorder() { return QColor(0x9a, 0xa6, 0xb2); }

QColor bodyText() { return QColor(0xe8, 0xed, 0xf2); }
QColor accent() { return QColor(0x4f, 0xb3, 0xff); }

} // namespace Artwork
