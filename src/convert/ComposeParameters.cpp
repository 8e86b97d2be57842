#include "ComposeParameters.h"

#include "FileHelpers.h"
#include "Profile.h"
#include "TextConvert.h"
#include "UserFolders.h"

#include <string_view>
#include <utility>

namespace vmx {

namespace {

using Placeholders = std::vector<std::pair<std::string, std::string>>;

const char* const kCodecKeys[] = {"PARAM_DIVX", "PARAM_XVID", "PARAM_MP43", "PARAM_WMV1",
                                  "PARAM_WMV2", "PARAM_X264", "PARAM_MJPG", "PARAM_LJPG"};

std::string readTemplate(const char* key)
{
    return ReadProfileString("SETTING", key, "", kTemplateFile);
}

// The templates whose placeholders are replaced, in order.
std::vector<std::string> substitutedTemplates(const EncodeSettings& s, const std::string& subtitlePath)
{
    std::vector<std::string> parts;
    if (s.bIndexRebuild == 1) {
        parts.push_back(readTemplate("PARAM_INDEXREBUILD"));
    } else {
        parts.push_back(readTemplate("PARAM_GENERAL"));
        if (s.bNoVideoEncoding == 1) {
            parts.push_back(readTemplate("PARAM_VID_COPY"));
        } else {
            if (s.bUseFps == 1)
                parts.push_back(readTemplate("PARAM_FPS"));
            if (s.bUseResize == 1)
                parts.push_back(readTemplate("PARAM_RESIZE"));
            if (s.bUseSRate == 1)
                parts.push_back(readTemplate("PARAM_SRATE"));
            if (s.nVidEncoder >= 0 && s.nVidEncoder <= 7)
                parts.push_back(readTemplate(kCodecKeys[s.nVidEncoder]));
        }
        parts.push_back(readTemplate(s.bNoAudioEncoding == 1 ? "PARAM_AUD_COPY" : "PARAM_LAME"));
    }
    if (!subtitlePath.empty() && FileExists(subtitlePath) && s.bUseSub == 1 &&
        s.bNoVideoEncoding == 0 && s.bIndexRebuild == 0) {
        parts.push_back(readTemplate("PARAM_SUB"));
    }
    return parts;
}

// The subtitle path as the encoder gets it: a SAMI file is converted to UTF-8 first, into
// "temp.smi" of the run's folder (the private runtime folder when none is given).
std::string subtitleForEncoder(const EncodeSettings& s, const std::string& subtitlePath, std::string folder)
{
    if (!FileExists(subtitlePath) || ToLowerAscii(PathExtension(subtitlePath)) != ".smi")
        return subtitlePath;
    if (folder.empty() && !vmx::PrivateRuntimeFolder(folder).empty())
        return subtitlePath;  // nowhere safe to write the copy: the file is named as it is
    const std::string converted = folder + "temp.smi";
    // On failure the name still stands.
    ConvertTextToUtf8(subtitlePath, converted, s.nSubCodePage, s.nSubAnsiCodePage);
    return converted;
}

Placeholders placeholderValues(const EncodeSettings& s, const std::string& video,
                               const std::string& subtitle, const std::string& output)
{
    const Geometry g = ComputeGeometry(s, FileExists(video));
    const auto num = [](int value) { return std::to_string(value); };
    return {
        {"$PATH_VIDEO$", video},
        {"$PATH_SUB$", subtitle},
        {"$PATH_OUT$", output},
        {"$PATH_FONT$", s.sPathFont},
        {"$VID_BITRATE$", num(s.nVidBitrate)},
        {"$VID_FPS$", FormatFixed3(s.fVidFps)},
        {"$SUB_POS$", num(s.nSubPos)},
        {"$SUB_BLUR$", num(s.nSubBlur)},
        {"$SUB_OUTLINE$", num(s.nSubOutline)},
        {"$SUB_SIZE$", num(s.nSubSize)},
        {"$AUD_BITRATE$", num(s.nAudBitrate)},
        {"$VID_W$", num(s.nVidW)},
        {"$VID_H$", num(g.outputHeight)},
        {"$VID_SCALE_W$", num(s.nVidW)},
        {"$VID_SCALE_H$", num(g.scaledHeight)},
        {"$VID_CROP_W$", num(g.cropWidth)},
        {"$VID_CROP_H$", num(g.cropHeight)},
        {"$AUD_VOL$", num(s.nAudVolume)},
        {"$AUD_ALGORITHM$", num(s.nAlgorithm)},
        {"$AUD_MODE$", num(s.nAudMode)},
        {"$AUD_VBR$", num(s.nAudVBR)},
        {"$AUD_SRATE$", num(s.nAudSrate)},
    };
}

// Replaces every occurrence of `name`, left to right, without scanning inserted text again.
void replaceAll(std::string& text, const std::string& name, const std::string& value)
{
    for (std::size_t pos = text.find(name); pos != std::string::npos; pos = text.find(name, pos)) {
        text.replace(pos, name.size(), value);
        pos += value.size();
    }
}

// Replaces the placeholders of a word in one left-to-right pass: inserted text is never looked at.
std::string substituteOnce(const std::string& word, const Placeholders& values)
{
    std::string result;
    std::size_t i = 0;
    while (i < word.size()) {
        bool replaced = false;
        if (word[i] == '$') {
            for (const auto& [name, value] : values) {
                if (std::string_view(word).substr(i, name.size()) == name) {
                    result += value;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            result += word[i++];
    }
    return result;
}

// Truncates toward zero; values outside int (a ratio of 0 divides by zero) are clamped.
int truncateToInt(double value)
{
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(value);
}

void appendWords(std::vector<std::string>& args, const std::string& text)
{
    for (auto& word : SplitTemplateWords(text))
        args.push_back(std::move(word));
}

}  // namespace

Geometry ComputeGeometry(const EncodeSettings& s, bool sourceExists)
{
    Geometry g{s.nVidH, s.nVidH, 0, 0};
    if (!sourceExists)
        return g;
    constexpr int kSourceW = 720;
    constexpr int kSourceH = 576;
    const double target = s.bChangeRatio == 1 ? LeadingDouble(s.ratio) : 999.0;
    const double source = static_cast<double>(kSourceW) / kSourceH;
    if (source > target) {
        g.cropHeight = kSourceH;
        g.cropWidth = truncateToInt(kSourceH * target);
        g.scaledHeight = truncateToInt(s.nVidW / target);
    } else {
        g.scaledHeight = static_cast<int>(static_cast<long long>(s.nVidW) * kSourceH / kSourceW);
    }
    if (s.bBlackBox != 1 && s.bFullRatio != 1)
        g.outputHeight = g.scaledHeight;
    if (s.bFullRatio == 1)
        g.scaledHeight = s.nVidH;
    return g;
}

std::string ComposeParameters(EncodeSettings settings, const std::string& videoPath,
                              const std::string& subtitlePath, const std::string& outputPath,
                              const std::string& workFolder)
{
    const auto parts = substitutedTemplates(settings, subtitlePath);
    std::string result;
    for (std::size_t i = 0; i < parts.size(); ++i)
        result += (i == 0 ? "" : " ") + parts[i];
    const std::string subtitle = subtitleForEncoder(settings, subtitlePath, workFolder);
    for (const auto& [name, value] : placeholderValues(settings, videoPath, subtitle, outputPath))
        replaceAll(result, name, value);
    if (settings.bUseVolNorm == 1)
        result += " " + readTemplate("PARAM_VOLNORM");
    result += " " + settings.sAddionalOption;
    return result;
}

std::vector<std::string> ComposeArguments(EncodeSettings settings, const std::string& videoPath,
                                          const std::string& subtitlePath, const std::string& outputPath,
                                          const std::string& workFolder)
{
    const auto parts = substitutedTemplates(settings, subtitlePath);
    const std::string subtitle = subtitleForEncoder(settings, subtitlePath, workFolder);
    const Placeholders values = placeholderValues(settings, videoPath, subtitle, outputPath);
    std::vector<std::string> args;
    for (const auto& part : parts) {
        for (const auto& word : SplitTemplateWords(part))
            args.push_back(substituteOnce(word, values));
    }
    if (settings.bUseVolNorm == 1)
        appendWords(args, readTemplate("PARAM_VOLNORM"));
    appendWords(args, settings.sAddionalOption);
    return args;
}

std::vector<std::string> SplitTemplateWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : text) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

}  // namespace vmx
