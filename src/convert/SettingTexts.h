#pragma once

#include "convert/EncodeSettings.h"

#include <string>
#include <string_view>

namespace vmx {

// The texts of the settings dialog's edits that are bound to a setting, as the dialog shows
// them: integers as signed decimal numbers, the frame rate with three decimals, the crop ratio
// as it is written. ("AC3 Audio volume" is bound to nothing and has no text here.)
struct SettingTexts {
    std::string frameRate;     // fVidFps
    std::string width;         // nVidW
    std::string height;        // nVidH
    std::string encoder;       // nVidEncoder
    std::string cropRatio;     // ratio
    std::string videoBitrate;  // nVidBitrate
    std::string audioBitrate;  // nAudBitrate
    std::string audioVolume;   // nAudVolume
    std::string algorithm;     // nAlgorithm
    std::string audioMode;     // nAudMode
    std::string audioVbr;      // nAudVBR
    std::string sampleRate;    // nAudSrate
    bool operator==(const SettingTexts&) const = default;
};

SettingTexts TextsOfSettings(const EncodeSettings& settings);

// The settings with the edits' texts taken over; every other field keeps its value. The frame
// rate is read as a decimal number, an encoder selector of 7 or more becomes 0 (so 7 can only
// come from encoding-custom.ini), and an integer text that is not a number reads as 0.
EncodeSettings SettingsWithTexts(EncodeSettings settings, const SettingTexts& texts);

// An edit's integer: an optionally signed decimal number, blanks around it allowed; any other
// text, or a number outside the int range, reads as 0.
int EditInteger(std::string_view text);

// Which edits can be used under the given settings. The encoder selector always can.
struct EditsEnabled {
    bool frameRate = true;   // bUseFps
    bool size = true;        // width, height and crop ratio: bUseResize, and no index rebuild
    bool sampleRate = true;  // bUseSRate, and no index rebuild
    bool others = true;      // the bitrates and audio edits: no index rebuild
    bool operator==(const EditsEnabled&) const = default;
};
EditsEnabled EnabledEdits(const EncodeSettings& settings);

// The parameter preview from the edits: the construction defaults overlaid with the texts, so
// settings without an edit show their defaults, composed for placeholder file names.
std::string PreviewOfTexts(const SettingTexts& texts);
// The parameter preview of the given (current) settings, for placeholder file names.
std::string PreviewOfSettings(const EncodeSettings& settings);

}  // namespace vmx
