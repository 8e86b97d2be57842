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

void SettingDlgModel::handOverRecording(const RecordDetails& details)
{
    m_recording = details;
    const ExportJobOrder order = ExportOfRecording(details, destPath(), m_settings);
    m_sourceText = order.partPaths.empty() ? details.displayName : order.partPaths.front();
    if (order.partPaths.size() > 1)
        m_sourceText += " + " + std::to_string(order.partPaths.size() - 1) + " more part files";
}

void SettingDlgModel::setOutput(OutputChoice choice, int quality, int sizeIndex)
{
    m_settings.nOutputFormat = static_cast<int>(choice);
    m_settings.nExportQuality = quality;
    m_settings.nExportSize = sizeIndex;
}

std::vector<ExportJobOrder> SettingDlgModel::exportJobs() const
{
    std::vector<ExportJobOrder> orders;
    if (m_recording) {
        orders.push_back(ExportOfRecording(*m_recording, destPath(), m_settings));
        if (orders.back().partPaths.empty())
            orders.clear();
        return orders;
    }
    for (const EncodeJob& job : m_run.jobs())
        orders.push_back(ExportOfFile(job.sourcePath, destPath(), m_settings));
    return orders;
}

EncodeRun::AddResult SettingDlgModel::addSourceFile(const std::string& path)
{
    const EncodeRun::AddResult result = m_run.addSourceFile(path);
    if (result == EncodeRun::AddResult::Added) {
        m_recording.reset();  // the files listed are what is exported now
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
    if (IsExportChoice(outputChoice())) {
        request.exporting = true;
        request.preview = ExportPreview(m_settings);
        if (m_run.isRunning())
            request.check = EncodeRun::StartCheck::Running;
        else if (exportJobs().empty())
            request.check = EncodeRun::StartCheck::NoSources;
        else if (!FolderExists(destPath()))
            request.check = EncodeRun::StartCheck::InvalidFolder;
        return request;
    }
    std::string firstOutput;
    request.check = m_run.checkStart(kind(), firstOutput);
    if (request.check == EncodeRun::StartCheck::AskOverwrite)
        request.question = LookupText("TXT_OVERWRITE_ASK", firstOutput);
    return request;
}

}  // namespace vmx
