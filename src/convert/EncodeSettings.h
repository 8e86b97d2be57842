#pragma once

#include <string>

// The encoder settings. Field names are the keys under which "encoding-custom.ini" stores them
// (sections VIDEO, AUDIO, SUB and ETC); flags are 0/1.
struct EncodeSettings {
    EncodeSettings();

    int bUseReport = 0;             // kept, not acted on
    int bUseVolNorm = 1;            // append PARAM_VOLNORM
    int nSubCodePage = 0;           // code page of subtitle files; 0 = the ANSI page (below); no key
    int bThreadPriorityNorm = 0;    // 1 = encoder runs at normal priority, 0 = lowered
    int bLoadSettingAfterInit = 1;  // kept, not acted on
    std::string sPathFont;          // $PATH_FONT$
    int bUseFps = 1;
    int bUseResize = 1;
    int bChangeRatio = 1;  // 1 = crop to `ratio`; 0 = keep the source ratio
    int bUseSRate = 1;
    int bIndexRebuild = 0;     // only PARAM_INDEXREBUILD
    int bNoVideoEncoding = 0;  // PARAM_VID_COPY instead of the video templates
    int bNoAudioEncoding = 0;  // PARAM_AUD_COPY instead of PARAM_LAME
    int bUseSub = 1;
    double fVidFps = 15.0;
    int nVidW = 320;
    int nVidH = 240;
    int nVidBitrate = 150;
    std::string ratio = "1.6";  // target aspect ratio as decimal text
    int bBlackBox = 1;
    int bFullRatio = 0;
    int nVidEncoder = 0;  // codec template selector 0..7
    int nAudBitrate = 64;
    int nAudVolume = 0;
    int nAlgorithm = 7;
    int nAudMode = 1;
    int nAudVBR = 3;
    int nAudSrate = 44100;
    int nSubPos = 85;
    int nSubBlur = 2;
    int nSubOutline = 2;
    int nSubSize = 4;
    // What the ANSI code page (nSubCodePage 0) stands for: a subtitle file that is not valid
    // UTF-8 is read in this code page (949 = CP949, the code page of such subtitles).
    int nSubAnsiCodePage = 949;
    std::string sAddionalOption;  // appended to every parameter line
    // What "Start Encoding" makes (section EXPORT; see vmx::OutputChoice): 0 an AVI through
    // mencoder, else an MKV or MP4 file through the export queue. Initialize keeps it.
    int nOutputFormat = 0;
    int nExportQuality = -1;  // the encoder's constant quality (CRF 0..51); -1: its default
    int nExportSize = 0;      // an index of vmx::PictureSizes(); 0: as recorded

    bool operator==(const EncodeSettings&) const = default;
};

namespace vmx {

// The process-wide current encoder settings, from which every run composes its parameters.
// Written only by the thread that starts a run, while no job is running.
EncodeSettings& CurrentEncodeSettings();

// Resets every field to its default except bUseReport, bUseVolNorm, the subtitle code page,
// bThreadPriorityNorm, bLoadSettingAfterInit and nOutputFormat.
void ResetEncodeSettings(EncodeSettings& settings);

// Overlays the values found in the INI file (relative names are taken from the program folder);
// absent keys keep the current values, except `ratio`, which falls back to "1.6".
void LoadEncodeSettings(EncodeSettings& settings, const std::string& fileName);

// The default subtitle font: "gulim.ttc" from the system's font folders when there is one,
// otherwise "pil.ttf" in the program folder.
std::string DefaultFontPath();

// The file of the encoder settings the user keeps: read, never written.
inline constexpr const char* kEncodingCustomIni = "encoding-custom.ini";

// Reloads "encoding-custom.ini" into the current encoder settings, as constructing the settings
// dialog does, and as loading a database into the left pane does: the values found there replace
// the current ones, absent keys keep theirs (`ratio` falls back to "1.6"). Like every change of
// the current settings, only while no job is running.
void ReloadEncodeSettings();

}  // namespace vmx
