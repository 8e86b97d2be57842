#include "dialogs/SettingTemplate.h"

namespace SettingTemplate {
namespace {

// Above: the parameter preview in its group. Below it the source and destination rows, then the
// video settings on the left and the audio settings on the right, the progress bar and the
// buttons. Labels sit 3 units below the top of the edit they name, so both share a centre line.
const Control kControls[] = {
    {kNoId, Kind::Group, {7, 4, 458, 96}, "MENCODE parameter"},
    {kPreview, Kind::Preview, {14, 16, 444, 78}, ""},

    {kNoId, Kind::Label, {7, 110, 48, 8}, "Source File"},
    {kSourcePath, Kind::PathEdit, {58, 107, 350, 14}, ""},
    {kSourceBrowse, Kind::Button, {412, 107, 53, 14}, "Browse"},
    {kNoId, Kind::Label, {7, 128, 48, 8}, "Dest Folder"},
    {kDestPath, Kind::PathEdit, {58, 125, 350, 14}, ""},
    {kDestBrowse, Kind::Button, {412, 125, 53, 14}, "Browse"},

    {kNoId, Kind::Label, {7, 151, 70, 8}, "Change Frame"},
    {kFrameRate, Kind::Edit, {80, 148, 50, 14}, ""},
    {kNoId, Kind::Label, {7, 169, 70, 8}, "Change Size"},
    {kNoId, Kind::Label, {80, 169, 28, 8}, "Width:"},
    {kWidth, Kind::Edit, {110, 166, 40, 14}, ""},
    {kNoId, Kind::Label, {156, 169, 38, 8}, "X Height:"},
    {kHeight, Kind::Edit, {196, 166, 40, 14}, ""},
    {kNoId, Kind::Label, {7, 187, 70, 8}, "Encoding type"},
    {kEncoder, Kind::Edit, {80, 184, 50, 14}, ""},
    {kNoId, Kind::Label, {7, 205, 70, 8}, "Crop Ratio:"},
    {kCropRatio, Kind::Edit, {80, 202, 50, 14}, ""},
    {kNoId, Kind::Label, {7, 223, 70, 8}, "Bitrate"},
    {kVideoBitrate, Kind::Edit, {80, 220, 50, 14}, ""},

    // What is made: an AVI through mencoder, or an MKV or MP4 file through the export queue; the
    // quality and size rows show for the choices that encode the video.
    {kNoId, Kind::Label, {7, 244, 70, 8}, "Format"},
    {kOutputFormat, Kind::Combo, {80, 241, 150, 14}, ""},
    {kQualityLabel, Kind::Label, {7, 262, 70, 8}, "Quality (CRF)"},
    {kQuality, Kind::Spin, {80, 259, 40, 14}, ""},
    {kSizeLabel, Kind::Label, {128, 262, 20, 8}, "Size"},
    {kPictureSize, Kind::Combo, {150, 259, 80, 14}, ""},

    {kNoId, Kind::Label, {255, 151, 75, 8}, "Bitrate"},
    {kAudioBitrate, Kind::Edit, {335, 148, 50, 14}, ""},
    {kNoId, Kind::Label, {255, 169, 75, 8}, "Audio volume"},
    {kAudioVolume, Kind::Edit, {335, 166, 50, 14}, ""},
    {kNoId, Kind::Label, {255, 187, 75, 8}, "AC3 Audio volume"},
    {kAc3Volume, Kind::Edit, {335, 184, 50, 14}, ""},
    {kNoId, Kind::Label, {255, 205, 75, 8}, "Audio algorithm"},
    {kAlgorithm, Kind::Edit, {335, 202, 50, 14}, ""},
    {kNoId, Kind::Label, {255, 223, 75, 8}, "Audio Mode"},
    {kAudioMode, Kind::Edit, {335, 220, 50, 14}, ""},
    {kNoId, Kind::Label, {255, 241, 75, 8}, "Audio VBR"},
    {kAudioVbr, Kind::Edit, {335, 238, 50, 14}, ""},
    {kNoId, Kind::Label, {255, 259, 75, 8}, "Sample Rate"},
    {kSampleRate, Kind::Edit, {335, 256, 50, 14}, ""},

    {kProgress, Kind::Progress, {7, 279, 458, 12}, ""},
    {kInitialize, Kind::Button, {7, 298, 70, 15}, "Initailize"},
    {kStartEncoding, Kind::Button, {320, 298, 80, 15}, "Start Encoding"},
    {kExit, Kind::Button, {405, 298, 60, 15}, "exit"},
};

}  // namespace

std::span<const Control> Controls()
{
    return kControls;
}

}  // namespace SettingTemplate
