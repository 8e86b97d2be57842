#pragma once

#include <QRect>

// Template 131, the copy window "Copying....": its size and controls in dialog units.
namespace CopyProgressTemplate {

inline constexpr int kTemplateId = 131;
inline constexpr int kWidthDlu = 331;
inline constexpr int kHeightDlu = 106;

enum ControlId : int {
    kCancel = 1005,
    kOverallBar = 1019,
    kWarningLine = 1020,
    kFileBar = 1021,
    kStatusLine = 1022,
};

inline constexpr QRect kOverallBarDlu{19, 14, 295, 14};
inline constexpr QRect kStatusLineDlu{19, 33, 296, 10};
inline constexpr QRect kFileBarDlu{19, 50, 295, 14};
inline constexpr QRect kWarningLineDlu{19, 68, 296, 10};
inline constexpr QRect kCancelDlu{254, 83, 57, 16};
// The speed and the time left, on the free space left of Cancel, centred on its height.
inline constexpr QRect kRateLineDlu{19, 86, 225, 10};

}  // namespace CopyProgressTemplate
