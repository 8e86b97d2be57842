#pragma once

#include "EncodeSettings.h"

#include <string>
#include <vector>

namespace vmx {

// The encoder's parameters are composed from the templates of "tamsel.ini" (section SETTING,
// read afresh on every call), chosen by the settings and filled in by replacing $NAME$
// placeholders with paths and numbers.

inline constexpr const char* kTemplateFile = "tamsel.ini";

// Picture geometry for the resize templates. The source frame is taken as 720 x 576 whenever
// the video file exists; without it the target size is used unchanged.
struct Geometry {
    int outputHeight = 0;  // $VID_H$
    int scaledHeight = 0;  // $VID_SCALE_H$
    int cropWidth = 0;     // $VID_CROP_W$
    int cropHeight = 0;    // $VID_CROP_H$
    bool operator==(const Geometry&) const = default;
};

Geometry ComputeGeometry(const EncodeSettings& settings, bool sourceExists);

// The parameter text as one line, for display: the chosen templates joined by blanks with
// every placeholder replaced (placeholder by placeholder, in a fixed order), then PARAM_VOLNORM
// and sAddionalOption appended as they stand. Paths are inserted as they are. A SAMI subtitle
// (".smi") is converted to UTF-8 into "temp.smi" of `workFolder` (a run's own folder; empty
// means the private runtime folder), whose path is then used.
std::string ComposeParameters(EncodeSettings settings, const std::string& videoPath,
                              const std::string& subtitlePath, const std::string& outputPath,
                              const std::string& workFolder = {});

// The same composition as separate arguments for the encoder. Each template is split into
// words first (blanks separate words; "..." groups and its quotes are removed, while an
// apostrophe is an ordinary character, as on the Windows command line), and only then
// are placeholders replaced inside each word, in one pass. A path therefore always stays inside
// the one argument its placeholder sits in, unchanged, whatever characters it holds.
std::vector<std::string> ComposeArguments(EncodeSettings settings, const std::string& videoPath,
                                          const std::string& subtitlePath, const std::string& outputPath,
                                          const std::string& workFolder);

// Splits template text into words as described above.
std::vector<std::string> SplitTemplateWords(const std::string& text);

}  // namespace vmx
