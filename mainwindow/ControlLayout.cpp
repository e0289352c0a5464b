#include "mainwindow/ControlLayout.h"

#include <QHash>

namespace ControlLayout {

const std::vector<ControlPlace> &MainWindowPlaces()
{
    static const std::vector<ControlPlace> places = {
        {"Picture1", 0, 0, 389, 292},
        {"Picture2", 218, 178, 23, 22},
        {"Picture3", 46, 178, 23, 27},
        {"Picture11", 106, 180, 21, 22},
        {"Picture13", 164, 180, 23, 24},
        {"Picture4", 84, 24, 23, 135},
        {"Picture7", 240, 2, 13, 12},
        {"Picture5", 24, 8, 13, 12},
        {"Picture9", 194, 134, 18, 55},
        {"Picture40", 256, 9.333333, 12, 12},
        {"Picture41", 268, 22, 12, 12},
        {"Picture6", 20, 230, 52, 39},
        {"Picture8", 228, 230, 51, 40},
        {"Picture16", 200, 90, 18, 38},
        {"Picture17", 200, 112, 18, 39},
        {"Picture20", 68, 228, 27, 48},
        {"Picture21", 122, 228, 27, 48},
        {"Picture22", 174, 228, 27, 48},
        {"Picture25", 66, 256, 27, 48},
        {"Picture26", 120, 256, 27, 48},
        {"Picture27", 176, 256, 27, 48},
        {"Picture30", 66, 286, 27, 48},
        {"Picture31", 120, 286, 27, 48},
        {"Picture32", 174, 284, 27, 48},
        {"Picture35", 66, 314, 27, 48},
        {"Picture36", 120, 316, 27, 48},
        {"Picture37", 174, 316, 27, 48},
        {"picmicrophonemuted", 50, 126, 16, 17},
        {"picspeakermuted", 52, 106, 16, 17},
        {"picmic_1", 88, 130, 6.666667, 6.666667},
        {"lbmic_1", 76, 130, 5, 105},
        {"PicSpeaker_0", 270, 60, 100, 100},
        {"lbspeaker_0", 60, 60, 75, 1575},
        {"lblMsg", 74, 58, 20, 121},
        {"lblBalance", 162, 58, 17, 57},
        {"Label3", 54, 128, 13, 9},
        // The speaker's mute area: its icon and the place beside it where
        // the muted indicator shows.
        {"Label2", 38, 103, 16, 27},
        {"Image1", 38, 103, 16, 16},
        {"Image2", 38, 119, 16, 16},
        {"Image3", 39, 67, 11, 15},
    };
    return places;
}

QString NormalPicture(const QString &name)
{
    static const QHash<QString, QString> pictures = {
        {"Picture6", "offPC"}, {"Picture8", "offCB"}, {"Picture11", "offPB"}, {"Picture2", "offTolvi"},
        {"Picture3", "offEnd"}, {"Picture16", "offDel"}, {"Picture17", "offBack"}, {"Picture13", "logOff"},
        {"Picture9", "offfeedback"},
        {"Picture20", "off1"}, {"Picture21", "off2"}, {"Picture22", "off3"},
        {"Picture25", "off4"}, {"Picture26", "off5"}, {"Picture27", "off6"},
        {"Picture30", "off7"}, {"Picture31", "off8"}, {"Picture32", "off9"},
        {"Picture35", "offy"}, {"Picture36", "off0"}, {"Picture37", "offHash"},
        {"Picture40", "close"}, {"Picture41", "hide"}, {"Picture4", "homepage"}, {"Picture7", "help"},
        {"Picture5", "alias"},
        {"picspeakermuted", "speakerMuted"}, {"picmicrophonemuted", "micMuted"},
        {"picmic_1", "thumb"}, {"PicSpeaker_0", "thumb"},
    };
    return pictures.value(name);
}

QString HoverPicture(const QString &name)
{
    const QString normal = NormalPicture(name);
    if (normal == QLatin1String("logOff"))
        return QStringLiteral("logOn");
    if (normal.startsWith(QLatin1String("off")))
        return QStringLiteral("on") + normal.mid(3);
    return QString();
}

QString AccessibleName(const QString &name)
{
    static const QHash<QString, QString> names = {
        {"Picture1", "Softphone"}, {"Picture2", "Account"}, {"Picture3", "Recent calls"},
        {"Picture11", "Phone book"}, {"Picture13", "Audio wizard"}, {"Picture4", "Home page"},
        {"Picture7", "User guide"}, {"Picture5", "Alias"}, {"Picture9", "Feedback"},
        {"Picture40", "Close"}, {"Picture41", "Hide"}, {"Picture6", "Call"}, {"Picture8", "End call"},
        {"Picture16", "Clear number"}, {"Picture17", "Backspace"},
        {"Picture20", "Keypad 1"}, {"Picture21", "Keypad 2"}, {"Picture22", "Keypad 3"},
        {"Picture25", "Keypad 4"}, {"Picture26", "Keypad 5"}, {"Picture27", "Keypad 6"},
        {"Picture30", "Keypad 7"}, {"Picture31", "Keypad 8"}, {"Picture32", "Keypad 9"},
        {"Picture35", "Keypad *"}, {"Picture36", "Keypad 0"}, {"Picture37", "Keypad #"},
        {"picmicrophonemuted", "Microphone muted"}, {"picspeakermuted", "Speaker muted"},
        {"picmic_1", "Microphone volume"}, {"lbmic_1", "Microphone volume track"},
        {"PicSpeaker_0", "Speaker volume"}, {"lbspeaker_0", "Speaker volume track"},
        {"Label3", "Mute microphone"}, {"Label2", "Mute speaker"}, {"Image1", "Speaker"}, {"Image2", "Microphone"}, {"Image3", "Line"},
        {"cmbPhoneNo", "Number"},
    };
    return names.value(name);
}

QString ToolTip(const QString &name)
{
    static const QHash<QString, QString> tips = {
        {"Picture6", "Click to Make Call"}, {"Picture8", "Click to End Call"}, {"Picture11", "SoftPhone Book"},
        {"Picture2", "Login Server"}, {"Picture3", "Recent Call"}, {"Picture16", "Clear Current Number"},
        {"Picture17", "Clear Current Number one by one"}, {"Picture13", "Audio Wizard"},
        {"Picture9", "Click To give your Feed Back"}, {"Picture41", "Hide Application to System Tray"},
        {"Picture40", "Close and Exit Application"}, {"Picture4", "Welcome To Tolvi Softphone"},
        {"Picture7", "For Help Click Here"}, {"cmbPhoneNo", "Include International Country Code"},
    };
    return tips.value(name);
}

} // namespace ControlLayout
