// Draws the phone's artwork (skins, button pictures, window icon, the
// desktop's icons) and checks it. The pictures are kept in the repository; run ../regenerate
// after changing anything here.
//
//   skingen write FOLDER          draw every picture into FOLDER/{skins,buttons,icons}
//   skingen --check FOLDER        verify the pictures in FOLDER
//   skingen --preview FOLDER OUT  compose previews of the windows into OUT
//   skingen tones FOLDER          write the twelve key tones into FOLDER/tones

#include "resources/generator/Buttons.h"
#include "resources/generator/Check.h"
#include "resources/generator/Preview.h"
#include "resources/generator/Skins.h"
#include "resources/generator/Style.h"
#include "resources/generator/ToneWaves.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: skingen write FOLDER | --check FOLDER | --preview FOLDER OUT | tones FOLDER\n");
    return 2;
}

bool save(const QImage &img, const QString &file)
{
    if (img.save(file, "PNG", 9))
        return true;
    std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(file));
    return false;
}

int write(const QString &folder)
{
    if (!Style::fontAvailable()) {
        // Another face would silently change every picture.
        std::fprintf(stderr, "skingen: the DejaVu Sans font is not installed (fonts-dejavu-core)\n");
        return 1;
    }
    if (!QDir().mkpath(folder + "/skins") || !QDir().mkpath(folder + "/buttons")) {
        std::fprintf(stderr, "skingen: cannot create folders in %s\n", qPrintable(folder));
        return 1;
    }
    const QImage main = Skins::main(), book = Skins::phoneBook();
    bool ok = save(main, folder + "/skins/main.png");
    ok = save(Skins::login(), folder + "/skins/login.png") && ok;
    ok = save(book, folder + "/skins/phonebook.png") && ok;
    ok = save(Skins::recent(), folder + "/skins/recent.png") && ok;
    for (const auto &[name, img] : Buttons::all(main, book))
        ok = save(img, folder + "/buttons/" + name + ".png") && ok;
    ok = save(Buttons::icon(64), folder + "/icon.png") && ok;
    ok = save(Buttons::icon(32), folder + "/icon32.png") && ok;
    for (int size : Buttons::themeIconSizes) {
        const QString file = folder + "/" + Buttons::themeIconFile(size);
        ok = QDir().mkpath(QFileInfo(file).path()) && save(Buttons::icon(size), file) && ok;
    }
    return ok ? 0 : 1;
}

int check(const QString &folder)
{
    const QStringList faults = Check::run(folder);
    for (const QString &f : faults)
        std::fprintf(stderr, "FAULT: %s\n", qPrintable(f));
    if (faults.isEmpty())
        std::printf("skingen: artwork in %s is consistent\n", qPrintable(folder));
    return faults.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // No window is ever shown; painting needs only the font machinery.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == "write")
        return write(args[1]);
    if (args.size() == 2 && args[0] == "tones")
        return ToneWaves::writeAll(args[1] + "/tones") ? 0 : 1;
    if (args.size() == 2 && args[0] == "--check")
        return check(args[1]);
    if (args.size() == 3 && args[0] == "--preview")
        return Preview::write(args[1], args[2]) ? 0 : 1;
    return usage();
}
