#include "resources/generator/Layout.h"

namespace Layout {

const std::vector<Button> &mainButtons()
{
    static const std::vector<Button> buttons = {
        {"Picture6", "offPC", "onPC", {20, 230, 39, 52}},
        {"Picture8", "offCB", "onCB", {228, 230, 40, 51}},
        {"Picture11", "offPB", "onPB", {106, 180, 22, 21}},
        {"Picture2", "offTolvi", "onTolvi", {218, 178, 22, 23}},
        {"Picture3", "offEnd", "onEnd", {46, 178, 27, 23}},
        {"Picture16", "offDel", "onDel", {200, 90, 38, 18}},
        {"Picture17", "offBack", "onBack", {200, 112, 39, 18}},
        {"Picture13", "logOff", "logOn", {164, 180, 24, 23}},
        {"Picture9", "offfeedback", "onfeedback", {194, 134, 55, 18}},
        {"Picture20", "off1", "on1", {68, 228, 48, 27}},
        {"Picture21", "off2", "on2", {122, 228, 48, 27}},
        {"Picture22", "off3", "on3", {174, 228, 48, 27}},
        {"Picture25", "off4", "on4", {66, 256, 48, 27}},
        {"Picture26", "off5", "on5", {120, 256, 48, 27}},
        {"Picture27", "off6", "on6", {176, 256, 48, 27}},
        {"Picture30", "off7", "on7", {66, 286, 48, 27}},
        {"Picture31", "off8", "on8", {120, 286, 48, 27}},
        {"Picture32", "off9", "on9", {174, 284, 48, 27}},
        {"Picture35", "offy", "ony", {66, 314, 48, 27}},
        {"Picture36", "off0", "on0", {120, 316, 48, 27}},
        {"Picture37", "offHash", "onHash", {174, 316, 48, 27}},
        {"Picture40", "close", "", {256, 9, 12, 12}},
        {"Picture41", "hide", "", {268, 22, 12, 12}},
        {"Picture4", "homepage", "", {84, 24, 135, 23}},
        {"Picture7", "help", "", {240, 2, 12, 13}},
        {"Picture5", "alias", "", {24, 8, 12, 13}},
        {"picspeakermuted", "speakerMuted", "", {52, 106, 17, 16}},
        {"picmicrophonemuted", "micMuted", "", {50, 126, 17, 16}},
    };
    return buttons;
}

const std::vector<Place> &mainWidgets()
{
    static const std::vector<Place> places = {
        {"display", display},
        {"lblMsg", lblMsg},
        {"lblBalance", lblBalance},
        {"cmbPhoneNo", cmbPhoneNo},
        {"speaker track", speakerTrack},
        {"mic track", micTrack},
        {"Image1", speakerIcon},
        {"Image2", micIcon},
        {"Image3", {39, 67, 15, 11}},
        {"Label3", {54, 128, 9, 13}},
        {"Label2", {38, 103, 27, 16}},
    };
    return places;
}

const std::vector<Place> &loginWidgets()
{
    static const std::vector<Place> places = {
        {"Label1", {20, 34, 73, 17}},
        {"txtSip", {92, 34, 105, 19}},
        {"Label4", {20, 56, 57, 17}},
        {"Label5", {46, 68, 43, 17}},
        {"txtuserid", {92, 58, 105, 19}},
        {"Label3", {20, 80, 57, 17}},
        {"txtAcctNo", {92, 82, 105, 19}},
        {"Label2", {22, 104, 41, 17}},
        {"txtPassword", {92, 106, 105, 19}},
        {"chkbxSaveSettings", {136, 126, 57, 17}},
        {"cmdLogin", {42, 144, 54, 20}},
        {"cmdExit", {118, 144, 54, 20}},
    };
    return places;
}

const std::vector<Place> &phoneBookWidgets()
{
    static const std::vector<Place> places = {
        {"Picture2", phoneBookClose},
        {"lstPhoneBook", {30, 36, 217, 72}},
        {"Label1", {70, 116, 65, 17}},
        {"txtName", {70, 132, 129, 19}},
        {"Label2", {70, 156, 65, 25}},
        {"txtPhoneNo", {70, 172, 129, 19}},
        {"cmdAdd", {70, 204, 65, 25}},
        {"cmdCall", {142, 204, 57, 25}},
        {"cmdDelete", {70, 236, 65, 25}},
        {"cmdEdit", {142, 236, 57, 25}},
    };
    return places;
}

const std::vector<Place> &recentWidgets()
{
    static const std::vector<Place> places = {
        {"Recentlist", {20, 32, 177, 108}},
        {"cmdExit", {64, 160, 81, 25}},
    };
    return places;
}

} // namespace Layout
