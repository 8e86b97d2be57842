#pragma once

#include "convert/EncodeRun.h"
#include "convert/EncodeSettings.h"
#include "convert/ExportChoice.h"
#include "convert/SettingTexts.h"
#include "recording/RecordDetails.h"

#include <optional>
#include <string>
#include <vector>

namespace vmx {

inline constexpr const char* kSettingDlgCaption = "Encode setting";
inline constexpr const char* kNoSourceMessage = "Please check source path";
inline constexpr const char* kInvalidFolderMessage = "Invalid folder";
inline constexpr const char* kEncodingCompleteMessage = "Encoding complete!";
inline constexpr const char* kResetQuestion = "Velmorix will reset encoding options.";
inline constexpr const char* kResetCaption = "Initialize";
inline constexpr const char* kSettingIni = "setting.ini";

// What the user is told when a run has ended.
struct RunEndReport {
    enum class Kind { None, Complete, Failures, Error };
    Kind kind = Kind::None;
    std::string text;      // empty for None
    bool fillBar = false;  // the progress bar goes to 100: every job of the run was tried
};

// A stopped run is not reported; one that went through all its jobs is "Encoding complete!"
// when every job produced its file, otherwise the failed jobs are named with their reasons; a
// run that could not go on (a script that cannot be written, an encoder that cannot start)
// says why.
RunEndReport ReportRunEnd(const RunOutcome& outcome);

// Everything the encoder settings dialog decides, without any window: the dialog's settings,
// the values of setting.ini, the source text, the merged-source flag, the last loaded DB kind
// and the encoding run. The dialog only paints this state and reads its widgets into it.
class SettingDlgModel {
public:
    // Reads setting.ini and reloads encoding-custom.ini into the current encoder settings
    // (ReloadEncodeSettings); the dialog's own settings start with the defaults. Starts nothing
    // and waits for nothing.
    SettingDlgModel();

    // The end of each run is told here (see EncodeRun::Listener).
    void setListener(EncodeRun::Listener* listener) { m_run.setListener(listener); }

    // The main view's hand-over of a merged file: it becomes the source text and is listed.
    EncodeRun::AddResult handOverMergedFile(const std::string& path);
    // 0 when the DB file loaded last is a DZT file (runs encode to AVI), else 1 (runs dump the
    // audio to MP3).
    void setLastLoadedDbKind(int kind) { m_dbKind = kind; }
    RunKind kind() const { return m_dbKind == 0 ? RunKind::Encode : RunKind::AudioDump; }
    void copySettingsIn(const EncodeSettings& settings) { m_settings = settings; }
    const EncodeSettings& settings() const { return m_settings; }

    // The main view's hand-over of the recording EN exports (with an export choice): it is what
    // "Start Encoding" queues, and its first part file the source text.
    void handOverRecording(const RecordDetails& details);

    // The format list's choice, and the quality and picture size of the encoding choices.
    void setOutput(OutputChoice choice, int quality, int sizeIndex);
    OutputChoice outputChoice() const { return OutputChoiceOf(m_settings); }
    // The exports "Start Encoding" queues with an export choice: the handed-over recording, or
    // else each listed file as a recording of one part, into the output folder.
    std::vector<ExportJobOrder> exportJobs() const;

    // Lists a source file. The source text becomes its path, except for the file a hand-over
    // lists (the hand-over has set the text already).
    EncodeRun::AddResult addSourceFile(const std::string& path);
    const std::string& sourceText() const { return m_sourceText; }

    // The path text the source Browse checks: the file's path, or for several files their folder.
    static std::string selectionPathText(const std::vector<std::string>& files);
    // False when that text holds a byte outside 7..127 (nothing is then listed).
    static bool selectionIsPlain(const std::vector<std::string>& files);

    enum class FolderChoice { Unchanged, Changed, NotEnglish };
    // The destination Browse's result: empty (cancelled) changes nothing; a path with a byte
    // outside 7..127 is refused; any other becomes the output folder.
    FolderChoice chooseDestination(const std::string& chosen);
    const std::string& destPath() const { return m_run.destFolder(); }
    const std::string& fileHeader() const { return m_run.filePrefix(); }
    int isFirst() const { return m_isFirst; }
    const std::string& langFileName() const { return m_langFileName; }

    // "Initailize": the dialog's settings back to their defaults.
    void initialize() { ResetEncodeSettings(m_settings); }
    // The dialog's settings with the edits' texts taken over.
    void takeTexts(const SettingTexts& texts) { m_settings = SettingsWithTexts(m_settings, texts); }

    struct StartRequest {
        EncodeRun::StartCheck check = EncodeRun::StartCheck::Ok;
        std::string preview;   // the preview of the current encoder settings
        std::string question;  // for AskOverwrite: the overwrite question
        bool exporting = false;  // an export choice: Ok means exportJobs() are to be queued
    };
    // The first steps of "Start Encoding": the edits become the dialog's settings and those the
    // current encoder settings; then the checks before a run. With an export choice the checks
    // of the exports: something to export and an existing folder (the output names are free).
    StartRequest beginStart(const SettingTexts& texts);
    // Starts the run (after the checks and any overwrite agreed); false when its first job could
    // not be started (the listener has then heard why).
    bool start() { return m_run.start(kind()); }
    // Stops a run that is going on; its encoder is ended and its unfinished output removed.
    void stopRun() { m_run.stop(); }
    bool isRunning() const { return m_run.isRunning(); }
    // The progress timer's value, or nothing to show (see EncodeRun::progressStep).
    std::optional<int> progressStep() { return m_run.progressStep(); }
    std::vector<EncodeJob> jobs() const { return m_run.jobs(); }

private:
    EncodeSettings m_settings;
    int m_isFirst = 1;
    std::string m_langFileName;
    std::string m_sourceText;
    bool m_mergedSource = false;
    std::optional<RecordDetails> m_recording;
    int m_dbKind = 0;
    EncodeRun m_run;  // last: stopped before the rest goes
};

}  // namespace vmx
