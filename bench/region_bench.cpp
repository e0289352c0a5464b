// Time to cut a window outline from a picture: our scan (copy into the
// 24-bit buffer, scan the rows, build the QRegion) against Qt's own path
// (mask from the key colour -> QBitmap -> QRegion), on the same pictures in
// the same run. Prints a table of medians; checks both give the same area.
//
//   region_bench [--runs N] [picture files...]

#include "skin/Region.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegion>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Input {
    QString name;
    QImage image;
};

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A phone-like body on a key colour: a large disc joined to a rounded slab,
// with scattered key-coloured holes so rows differ from one another.
QImage largeShape(int size)
{
    const QRgb key = qRgb(0xff, 0x00, 0xff);
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(key);
    {
        QPainter p(&img);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x30, 0x38, 0x44));
        p.drawEllipse(QRect(size / 20, size / 20, size * 9 / 10, size * 9 / 10));
        p.setBrush(QColor(0x50, 0x58, 0x64));
        p.drawRoundedRect(QRect(size / 8, size / 3, size * 3 / 4, size * 3 / 5), size / 10, size / 12);
    }
    QRandomGenerator rng(7);
    for (int i = 0; i < size * size / 400; ++i) {
        const int x = rng.bounded(size), y = rng.bounded(size);
        const int r = rng.bounded(1, 4);
        for (int yy = y; yy < std::min(size, y + r); ++yy)
            for (int xx = x; xx < std::min(size, x + r); ++xx)
                img.setPixel(xx, yy, key);
    }
    img.setPixel(0, size - 1, key);
    return img;
}

// The same picture as an 8-bit palette image, as the skins are stored.
QImage toPalette(const QImage &rgb)
{
    QList<QRgb> table;
    QImage img(rgb.size(), QImage::Format_Indexed8);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *src = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *dst = img.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            qsizetype i = table.indexOf(src[x]);
            if (i < 0) {
                i = table.size();
                table.append(src[x]);
            }
            dst[x] = uchar(i);
        }
    }
    img.setColorTable(table);
    return img;
}

const char *formatName(QImage::Format f)
{
    switch (f) {
    case QImage::Format_Indexed8:
        return "8-bit palette";
    case QImage::Format_RGB32:
        return "RGB32";
    case QImage::Format_ARGB32:
        return "ARGB32";
    default:
        return "other";
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // QBitmap needs a GUI application, not a screen
    QGuiApplication app(argc, argv);

    int runs = 15;
    std::vector<Input> inputs;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
            continue;
        }
        QImage img(args[i]);
        if (img.isNull()) {
            std::fprintf(stderr, "region_bench: cannot read picture %s\n", qPrintable(args[i]));
            return 2;
        }
        inputs.push_back({args[i].section(QLatin1Char('/'), -1), img});
    }
    for (const char *skin : {"main", "login", "phonebook", "recent"}) {
        const QString path = QStringLiteral(":/skins/%1.png").arg(QLatin1String(skin));
        if (QFile::exists(path))
            inputs.push_back({path, QImage(path)});
    }
    const QImage large = largeShape(4000);
    inputs.push_back({QStringLiteral("synthetic 4000x4000"), large});
    inputs.push_back({QStringLiteral("synthetic 4000x4000"), toPalette(large)});

    std::printf("| picture | size | format | rectangles | ours, new Region (ms) | ours, reused Region (ms) "
                "| Qt mask->bitmap->region (ms) | Qt / ours new | Qt / ours reused | same area |\n");
    std::printf("|---|---|---|---:|---:|---:|---:|---:|---:|---|\n");
    bool allSame = true;
    for (const Input &in : inputs) {
        const QImage &img = in.image;
        const int w = img.width(), h = img.height();
        const int n = w * h > 1000000 ? std::max(3, runs / 2) : runs * 4;

        QRegion ours;
        const double oursMs = medianMs(n, [&] {
            Region region;
            quint32 key = 1;
            region.ScanPicture(img, key);
            ours = region.hndRegion;
        });
        // One Region for every run: its buffer's memory is already touched.
        Region reused;
        const double reusedMs = medianMs(n, [&] {
            quint32 key = 1;
            reused.ScanPicture(img, key);
        });
        const QRgb keyRgb = img.pixel(0, h - 1);
        QRegion qt;
        const double qtMs = medianMs(n, [&] {
            qt = QRegion(QBitmap::fromImage(img.createMaskFromColor(keyRgb, Qt::MaskInColor)));
        });
        // Our scan never includes the last column.
        const QRegion qtWithoutLastColumn = qt - QRegion(w - 1, 0, 1, h);
        const bool same = (ours ^ qtWithoutLastColumn).isEmpty() && (reused.hndRegion ^ qtWithoutLastColumn).isEmpty();
        allSame = allSame && same;
        std::printf("| %s | %dx%d | %s | %d | %.3f | %.3f | %.3f | %.2f | %.2f | %s |\n", qPrintable(in.name), w, h,
                    formatName(img.format()), ours.rectCount(), oursMs, reusedMs, qtMs, qtMs / oursMs,
                    qtMs / reusedMs, same ? "yes" : "NO");
    }
    std::printf("\nmedians of %d runs (pictures over 1 Mpixel: %d runs)\n", runs * 4, std::max(3, runs / 2));
    return allSame ? 0 : 1;
}
