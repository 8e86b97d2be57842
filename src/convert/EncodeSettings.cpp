#include "EncodeSettings.h"

#include "FileHelpers.h"
#include "Profile.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

EncodeSettings::EncodeSettings()
{
    vmx::ResetEncodeSettings(*this);
}

EncodeSettings& vmx::CurrentEncodeSettings()
{
    static EncodeSettings current;
    return current;
}

namespace vmx {

namespace {

// Finds a font file by name in the usual font folders (system first, then the user's).
std::string findFont(const std::string& name)
{
    std::vector<std::string> roots = {"/usr/share/fonts", "/usr/local/share/fonts"};
    if (const char* home = std::getenv("HOME"); home && *home) {
        roots.push_back(std::string(home) + "/.local/share/fonts");
        roots.push_back(std::string(home) + "/.fonts");
    }
    namespace fs = std::filesystem;
    for (const auto& root : roots) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ToLowerAscii(it->path().filename().string()) == name && it->is_regular_file(ec))
                return it->path().string();
        }
    }
    return {};
}

}  // namespace

std::string DefaultFontPath()
{
    static const std::string gulim = findFont("gulim.ttc");
    if (!gulim.empty())
        return gulim;
    return GetProgramFolder() + "pil.ttf";
}

void ResetEncodeSettings(EncodeSettings& s)
{
    const EncodeSettings kept = s;
    s.sPathFont = DefaultFontPath();
    s.bUseFps = 1;
    s.bUseResize = 1;
    s.bChangeRatio = 1;
    s.bUseSRate = 1;
    s.bIndexRebuild = 0;
    s.bNoVideoEncoding = 0;
    s.bNoAudioEncoding = 0;
    s.bUseSub = 1;
    s.fVidFps = 15.0;
    s.nVidW = 320;
    s.nVidH = 240;
    s.nVidBitrate = 150;
    s.ratio = "1.6";
    s.bBlackBox = 1;
    s.bFullRatio = 0;
    s.nVidEncoder = 0;
    s.nAudBitrate = 64;
    s.nAudVolume = 0;
    s.nAlgorithm = 7;
    s.nAudMode = 1;
    s.nAudVBR = 3;
    s.nAudSrate = 44100;
    s.nSubPos = 85;
    s.nSubBlur = 2;
    s.nSubOutline = 2;
    s.nSubSize = 4;
    s.nSubAnsiCodePage = 949;
    s.sAddionalOption.clear();
    s.nExportQuality = -1;
    s.nExportSize = 0;
    s.nOutputFormat = kept.nOutputFormat;
    s.bUseReport = kept.bUseReport;
    s.bUseVolNorm = kept.bUseVolNorm;
    s.nSubCodePage = kept.nSubCodePage;
    s.bThreadPriorityNorm = kept.bThreadPriorityNorm;
    s.bLoadSettingAfterInit = kept.bLoadSettingAfterInit;
}

void LoadEncodeSettings(EncodeSettings& s, const std::string& fileName)
{
    const ProfileFile f(fileName);  // read once for all its keys
    auto video = [&](const char* key, int& field) { field = f.readInt("VIDEO", key, field); };
    auto audio = [&](const char* key, int& field) { field = f.readInt("AUDIO", key, field); };
    auto sub = [&](const char* key, int& field) { field = f.readInt("SUB", key, field); };

    video("bThreadPriorityNorm", s.bThreadPriorityNorm);
    video("bUseVolNorm", s.bUseVolNorm);
    video("bUseReport", s.bUseReport);
    video("bLoadSettingAfterInit", s.bLoadSettingAfterInit);
    video("bUseFps", s.bUseFps);
    video("bUseResize", s.bUseResize);
    video("bChangeRatio", s.bChangeRatio);
    video("bUseSRate", s.bUseSRate);
    video("bIndexRebuild", s.bIndexRebuild);
    video("bNoVideoEncoding", s.bNoVideoEncoding);
    video("bNoAudioEncoding", s.bNoAudioEncoding);
    // The rate goes through its three-decimal text, so an absent key rounds it to 0.001.
    s.fVidFps = LeadingDouble(f.readString("VIDEO", "fVidFps", FormatFixed3(s.fVidFps)));
    video("nVidW", s.nVidW);
    video("nVidH", s.nVidH);
    video("nVidBitrate", s.nVidBitrate);
    s.ratio = f.readString("VIDEO", "ratio", "1.6");
    video("bBlackBox", s.bBlackBox);
    video("bFullRatio", s.bFullRatio);
    video("nVidEncoder", s.nVidEncoder);
    audio("nAudBitrate", s.nAudBitrate);
    audio("nAudVolume", s.nAudVolume);
    audio("nAlgorithm", s.nAlgorithm);
    audio("nAudMode", s.nAudMode);
    audio("nAudVBR", s.nAudVBR);
    audio("nAudSrate", s.nAudSrate);
    sub("nSubPos", s.nSubPos);
    sub("nSubBlur", s.nSubBlur);
    sub("nSubOutline", s.nSubOutline);
    sub("nSubSize", s.nSubSize);
    sub("bUseSub", s.bUseSub);
    sub("nSubAnsiCodePage", s.nSubAnsiCodePage);
    s.sPathFont = f.readString("SUB", "sPathFont", s.sPathFont);
    s.sAddionalOption = f.readString("ETC", "sAddionalOption", s.sAddionalOption);
    s.nOutputFormat = f.readInt("EXPORT", "nOutputFormat", s.nOutputFormat);
    s.nExportQuality = f.readInt("EXPORT", "nExportQuality", s.nExportQuality);
    s.nExportSize = f.readInt("EXPORT", "nExportSize", s.nExportSize);
}

void ReloadEncodeSettings()
{
    LoadEncodeSettings(CurrentEncodeSettings(), kEncodingCustomIni);
}

}  // namespace vmx
