#include "convert/SettingDlgModel.h"

#include "convert/FileHelpers.h"
#include "convert/Profile.h"
#include "convert/RememberedDestination.h"

#include "common/FilePaths.h"
#include "recording/Merge.h"

namespace vmx {

RunEndReport ReportRunEnd(const RunOutcome& outcome)
{
    RunEndReport report;
    if (outcome.cancelled)
        return report;
    if (!outcome.error.empty()) {
        report.kind = RunEndReport::Kind::Error;
        report.text = outcome.error;
        return report;
    }
    report.fillBar = true;
    std::size_t failed = 0;
    std::string details;
    for (const auto& job : outcome.jobs) {
        if (job.status == JobOutcome::Status::Done)
            continue;
        ++failed;
        details += "\n" + job.sourcePath + ": " + job.message;
    }
    if (failed == 0) {
        report.kind = RunEndReport::Kind::Complete;
        report.text = kEncodingCompleteMessage;
    } else {
        report.kind = RunEndReport::Kind::Failures;
        report.text = std::to_string(failed) + " of " + std::to_string(outcome.jobs.size()) +
                      " conversions failed:" + details;
    }
    return report;
}

SettingDlgModel::SettingDlgModel()
    : m_isFirst(ReadProfileInt("GENERAL", "ISFIRST", 1, kSettingIni)),
      m_langFileName(ReadProfileString("GENERAL", "LANGFILENAME", "", kSettingIni))
{
    // The folder the user chose last wins over setting.ini's DESTPATH.
    std::string destination = RememberedDestination();
    if (destination.empty())
        destination = ReadProfileString("GENERAL", "DESTPATH", "", kSettingIni);
    m_run.setDestination(destination, ReadProfileString("GENERAL", "FILEHEADER", "[P]", kSettingIni));
    ReloadEncodeSettings();
}

EncodeRun::AddResult SettingDlgModel::handOverMergedFile(const std::string& path)
{
    m_mergedSource = true;
    m_sourceText = path;
    return addSourceFile(path);
}

EncodeRun::AddResult SettingDlgModel::addSourceFile(const std::string& path)
{
    const EncodeRun::AddResult result = m_run.addSourceFile(path);
    if (result == EncodeRun::AddResult::Added) {
        if (m_mergedSource)
            m_mergedSource = false;
        else
            m_sourceText = path;
    }
    return result;
}

std::string SettingDlgModel::selectionPathText(const std::vector<std::string>& files)
{
    if (files.empty())
        return {};
    return files.size() == 1 ? files.front() : FolderOfPath(files.front());
}

bool SettingDlgModel::selectionIsPlain(const std::vector<std::string>& files)
{
    return IsPlainFolderPath(selectionPathText(files));
}

SettingDlgModel::FolderChoice SettingDlgModel::chooseDestination(const std::string& chosen)
{
    if (chosen.empty())
        return FolderChoice::Unchanged;
    if (!IsPlainFolderPath(chosen))
        return FolderChoice::NotEnglish;
    m_run.setDestination(chosen, m_run.filePrefix());
    // Kept for the next start; a folder that cannot be kept is still used now.
    (void)RememberDestination(chosen);
    return FolderChoice::Changed;
}

SettingDlgModel::StartRequest SettingDlgModel::beginStart(const SettingTexts& texts)
{
    takeTexts(texts);
    CurrentEncodeSettings() = m_settings;
    StartRequest request;
    request.preview = PreviewOfSettings(CurrentEncodeSettings());
    std::string firstOutput;
    request.check = m_run.checkStart(kind(), firstOutput);
    if (request.check == EncodeRun::StartCheck::AskOverwrite)
        request.question = LookupText("TXT_OVERWRITE_ASK", firstOutput);
    return request;
}

}  // namespace vmx
