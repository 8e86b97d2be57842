#include "convert/SettingTexts.h"

#include "convert/ComposeParameters.h"
#include "convert/FileHelpers.h"

#include <charconv>

namespace vmx {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

int EditInteger(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return 0;
    return value;
}

SettingTexts TextsOfSettings(const EncodeSettings& s)
{
    SettingTexts t;
    t.frameRate = FormatFixed3(s.fVidFps);
    t.width = std::to_string(s.nVidW);
    t.height = std::to_string(s.nVidH);
    t.encoder = std::to_string(s.nVidEncoder);
    t.cropRatio = s.ratio;
    t.videoBitrate = std::to_string(s.nVidBitrate);
    t.audioBitrate = std::to_string(s.nAudBitrate);
    t.audioVolume = std::to_string(s.nAudVolume);
    t.algorithm = std::to_string(s.nAlgorithm);
    t.audioMode = std::to_string(s.nAudMode);
    t.audioVbr = std::to_string(s.nAudVBR);
    t.sampleRate = std::to_string(s.nAudSrate);
    return t;
}

EncodeSettings SettingsWithTexts(EncodeSettings s, const SettingTexts& t)
{
    s.fVidFps = LeadingDouble(t.frameRate);
    s.nVidW = EditInteger(t.width);
    s.nVidH = EditInteger(t.height);
    s.nVidBitrate = EditInteger(t.videoBitrate);
    s.ratio = t.cropRatio;
    s.nAudBitrate = EditInteger(t.audioBitrate);
    s.nAudVolume = EditInteger(t.audioVolume);
    s.nAlgorithm = EditInteger(t.algorithm);
    s.nAudMode = EditInteger(t.audioMode);
    s.nAudVBR = EditInteger(t.audioVbr);
    s.nVidEncoder = EditInteger(t.encoder);
    if (s.nVidEncoder >= 7)
        s.nVidEncoder = 0;
    s.nAudSrate = EditInteger(t.sampleRate);
    return s;
}

EditsEnabled EnabledEdits(const EncodeSettings& s)
{
    const bool rebuild = s.bIndexRebuild == 1;
    EditsEnabled e;
    e.frameRate = s.bUseFps == 1;
    e.size = s.bUseResize == 1 && !rebuild;
    e.sampleRate = s.bUseSRate == 1 && !rebuild;
    e.others = !rebuild;
    return e;
}

std::string PreviewOfTexts(const SettingTexts& texts)
{
    // The subtitle placeholder is the Korean phrase for "subtitle file".
    return ComposeParameters(SettingsWithTexts(EncodeSettings(), texts),
                             "Source video file format(.trp) what you want to convert",
                             "\xEC\x9E\x90\xEB\xA7\x89 \xED\x8C\x8C\xEC\x9D\xBC.smi", "Result file(.avi)");
}

std::string PreviewOfSettings(const EncodeSettings& settings)
{
    return ComposeParameters(settings, "Video.trp", "Subtitle.smi", "RESULT.avi");
}

}  // namespace vmx
