#pragma once

#include <QRect>

#include <span>

// Template 179, the encoder settings dialog "Encode setting": every control with its id, kind,
// place in dialog units of the dialog's font and caption. Labels and the group box have no id.
namespace SettingTemplate {

inline constexpr int kWidthDlu = 472;
inline constexpr int kHeightDlu = 319;

enum ControlId : int {
    kNoId = -1,
    kExit = 1,
    kInitialize = 3,
    kStartEncoding = 4,
    kPreview = 1033,
    kFrameRate = 1036,
    kEncoder = 1037,
    kWidth = 1038,
    kCropRatio = 1039,
    kVideoBitrate = 1041,
    kAudioBitrate = 1043,
    kAudioVolume = 1044,
    kAc3Volume = 1045,
    kAlgorithm = 1046,
    kAudioMode = 1047,
    kAudioVbr = 1048,
    kSampleRate = 1049,
    kHeight = 1050,
    kSourceBrowse = 1051,
    kSourcePath = 1052,
    kDestBrowse = 1053,
    kDestPath = 1055,
    kProgress = 1058,
    kOutputFormat = 1060,
    kQualityLabel = 1061,
    kQuality = 1062,
    kSizeLabel = 1063,
    kPictureSize = 1064,
};

enum class Kind { Group, Label, Preview, PathEdit, Edit, Button, Progress, Combo, Spin };

struct Control {
    int id;
    Kind kind;
    QRect dlu;
    const char* caption;
};

std::span<const Control> Controls();

}  // namespace SettingTemplate
