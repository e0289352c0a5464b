#include "resources/generator/Check.h"

#include "resources/Artwork.h"
#include "resources/generator/Buttons.h"
#include "resources/generator/Layout.h"

#include <QImage>
#include <cmath>
#include <utility>
#include <vector>

namespace Check {

namespace {

double distance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return std::sqrt(double(dr * dr + dg * dg + db * db));
}

QString where(const QRect &r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

struct Skin {
    QString name;
    QSize size;
    std::vector<Layout::Place> inside; // must lie wholly on the body
};

std::vector<Skin> skins()
{
    std::vector<Layout::Place> main = Layout::mainWidgets();
    for (const Layout::Button &b : Layout::mainButtons())
        main.push_back({b.control, b.rect});
    return {
        {"main", Layout::mainSize, main},
        {"login", Layout::loginSize, Layout::loginWidgets()},
        {"phonebook", Layout::phoneBookSize, Layout::phoneBookWidgets()},
        {"recent", Layout::recentSize, Layout::recentWidgets()},
    };
}

void checkSkin(const QString &folder, const Skin &s, QStringList &faults)
{
    const QString file = folder + "/skins/" + s.name + ".png";
    const QImage img = QImage(file).convertToFormat(QImage::Format_RGB32);
    if (img.isNull()) {
        faults << file + ": cannot be read";
        return;
    }
    if (img.size() != s.size) {
        faults << QStringLiteral("%1: %2x%3, expected %4x%5")
                      .arg(file).arg(img.width()).arg(img.height()).arg(s.size.width()).arg(s.size.height());
        return;
    }
    const QRgb key = img.pixel(0, img.height() - 1) | 0xff000000;
    if (key != Artwork::keyColour().rgb())
        faults << file + ": bottom-left pixel is not the key colour (it must lie outside the outline)";

    // Anything close to the key but not equal would be left standing as a
    // fringe after the cut.
    int nearKey = 0;
    QPoint firstNear;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            if (c != key && distance(c, key) < 60 && nearKey++ == 0)
                firstNear = {x, y};
        }
    if (nearKey)
        faults << QStringLiteral("%1: %2 pixels close to the key colour, first at %3,%4")
                      .arg(file).arg(nearKey).arg(firstNear.x()).arg(firstNear.y());

    // The window scan drops the last column, so nothing may need it.
    for (const Layout::Place &place : s.inside) {
        const QRect r = place.rect;
        bool cut = r.left() < 0 || r.top() < 0 || r.right() >= img.width() - 1 || r.bottom() >= img.height();
        for (int y = r.top(); !cut && y <= r.bottom(); ++y)
            for (int x = r.left(); !cut && x <= r.right(); ++x)
                cut = img.pixel(x, y) == key;
        if (cut)
            faults << QStringLiteral("%1: %2 %3 is not wholly inside the outline").arg(file, place.name, where(r));
    }
}

void checkCorners(const QImage &pic, const QImage &skin, const QRect &r, int tolerance, const QString &name,
                  QStringList &faults)
{
    const QPoint corners[] = {{0, 0}, {r.width() - 1, 0}, {0, r.height() - 1}, {r.width() - 1, r.height() - 1}};
    for (const QPoint &c : corners) {
        if (distance(pic.pixel(c), skin.pixel(r.topLeft() + c)) > tolerance) {
            faults << QStringLiteral("%1: corner %2,%3 does not match the skin under it at %4")
                          .arg(name).arg(c.x()).arg(c.y()).arg(where(r));
            return;
        }
    }
}

QImage picture(const QString &folder, const QString &name, QSize size, QStringList &faults)
{
    const QString file = folder + "/buttons/" + name + ".png";
    const QImage img = QImage(file).convertToFormat(QImage::Format_RGB32);
    if (img.isNull())
        faults << file + ": missing or unreadable";
    else if (img.size() != size)
        faults << QStringLiteral("%1: %2x%3, expected %4x%5")
                      .arg(file).arg(img.width()).arg(img.height()).arg(size.width()).arg(size.height());
    else
        return img;
    return {};
}

} // namespace

QStringList run(const QString &folder)
{
    QStringList faults;
    for (const Skin &s : skins())
        checkSkin(folder, s, faults);

    // Buttons are compared with the skin under them only when it is usable.
    QImage main = QImage(folder + "/skins/main.png").convertToFormat(QImage::Format_RGB32);
    if (main.size() != Layout::mainSize)
        main = QImage();
    for (const Layout::Button &b : Layout::mainButtons()) {
        for (const QString &name : {b.normal, b.hover}) {
            if (name.isEmpty())
                continue;
            const QImage pic = picture(folder, name, b.rect.size(), faults);
            if (!pic.isNull() && !main.isNull())
                checkCorners(pic, main, b.rect, 0, name, faults);
        }
    }
    // The thumb must blend in wherever it stands on either groove.
    const QImage thumb = picture(folder, "thumb", Layout::thumbSize, faults);
    if (!thumb.isNull() && !main.isNull()) {
        const auto before = faults.size();
        for (const QRect &track : {Layout::speakerTrack, Layout::micTrack})
            for (int x = track.left(); x + thumb.width() <= track.right() + 1 && faults.size() == before; ++x)
                checkCorners(thumb, main, QRect(QPoint(x, track.top()), Layout::thumbSize), 12, "thumb", faults);
    }
    const QImage book = QImage(folder + "/skins/phonebook.png").convertToFormat(QImage::Format_RGB32);
    const QImage close = picture(folder, "closePhoneBook", Layout::phoneBookClose.size(), faults);
    if (!close.isNull() && book.size() == Layout::phoneBookSize)
        checkCorners(close, book, Layout::phoneBookClose, 0, "closePhoneBook", faults);

    std::vector<std::pair<QString, int>> icons = {{QStringLiteral("icon.png"), 64}, {QStringLiteral("icon32.png"), 32}};
    for (int size : Buttons::themeIconSizes)
        icons.push_back({Buttons::themeIconFile(size), size});
    for (const auto &[file, side] : icons) {
        const QImage icon = QImage(folder + "/" + file).convertToFormat(QImage::Format_ARGB32);
        if (icon.size() != QSize(side, side)) {
            faults << QStringLiteral("%1/%2: missing or not %3x%3").arg(folder, file).arg(side);
            continue;
        }
        // A round-cornered tile: see-through corners, an opaque middle.
        const int last = side - 1, middle = side / 2;
        if (qAlpha(icon.pixel(0, 0)) || qAlpha(icon.pixel(last, 0)) || qAlpha(icon.pixel(0, last))
            || qAlpha(icon.pixel(last, last)))
            faults << QStringLiteral("%1/%2: corners are not transparent").arg(folder, file);
        if (qAlpha(icon.pixel(middle, middle)) != 255)
            faults << QStringLiteral("%1/%2: the middle is not opaque").arg(folder, file);
    }
    faults.removeDuplicates();
    return faults;
}

} // namespace Check
