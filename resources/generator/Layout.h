#pragma once
#include <QRect>
#include <QString>
#include <vector>

// Where the pictures and the widgets of each skinned window sit, in window
// pixels. The artwork is drawn around these places, so they must agree with
// the windows' own control placement.
namespace Layout {

struct Place {
    QString name;
    QRect rect;
};

// A button with a normal and a hover picture, or a plain picture (hover empty).
struct Button {
    QString control;
    QString normal; // picture name, e.g. "offPC"
    QString hover;  // empty: no hover picture
    QRect rect;
};

inline constexpr QSize mainSize{292, 389};
inline constexpr QSize loginSize{216, 228};
inline constexpr QSize phoneBookSize{280, 296};
inline constexpr QSize recentSize{216, 228};

// Main window.
inline constexpr QRect display{64, 50, 164, 55};   // LCD panel, top band to x 228
inline constexpr int displayLowerRight = 196;      // right edge of its lower part
inline constexpr int displayBandBottom = 86;       // bottom of its upper band
inline constexpr QRect lblMsg{74, 58, 121, 20};
inline constexpr QRect lblBalance{162, 58, 57, 17};
inline constexpr QRect cmbPhoneNo{72, 80, 120, 22};
inline constexpr QRect speakerTrack{76, 110, 105, 5};
inline constexpr QRect micTrack{76, 130, 105, 5};
inline constexpr QRect speakerIcon{38, 103, 16, 16}; // Image1
inline constexpr QRect micIcon{38, 119, 16, 16};     // Image2
inline constexpr QSize thumbSize{7, 7};

const std::vector<Button> &mainButtons();
// Widgets (not pictures) of each window that must lie on the body.
const std::vector<Place> &mainWidgets();
const std::vector<Place> &loginWidgets();
const std::vector<Place> &phoneBookWidgets();
const std::vector<Place> &recentWidgets();

inline constexpr QRect phoneBookClose{254, 12, 12, 12};

} // namespace Layout
