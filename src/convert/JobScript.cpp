#include "JobScript.h"

#include "ComposeParameters.h"
#include "EncodeSettings.h"
#include "FileHelpers.h"
#include "RunFolder.h"

#include "common/FilePaths.h"
#include "common/PendingFile.h"
#include "common/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <unistd.h>

namespace vmx {

namespace {

PreparedJob writeScript(const std::string& workFolder, const char* scriptName, const std::vector<std::string>& command,
                        PreparedJob job)
{
    job.scriptPath = workFolder + scriptName;
    std::ofstream out(job.scriptPath, std::ios::binary | std::ios::trunc);
    if (out) {
        out << ScriptText(command);
        out.flush();
    }
    if (!out) {
        job.error = "Cannot write the job script " + job.scriptPath + ": " + std::strerror(errno);
        unlink(job.partialPath.c_str());
    }
    return job;
}

// The job's output path and its partial file, or the reason the partial file cannot be made.
PreparedJob startPreparing(const std::string& source, const std::string& folder, const std::string& prefix,
                           const char* extension, const std::string& workFolder)
{
    PreparedJob job;
    job.outputPath = OutputPathFor(source, folder, prefix, extension);
    if (std::string reason = vmx::CreatePartialOutput(job.outputPath, extension, job.partialPath, workFolder);
        !reason.empty())
        job.error = "Cannot create the output file in " + vmx::FolderOfPath(job.outputPath) + ": " + reason;
    return job;
}

}  // namespace

std::string OutputPathFor(const std::string& source, const std::string& folder, const std::string& prefix,
                          const std::string& extension)
{
    const std::string path = JoinPath(folder, prefix + vmx::FileNameOfPath(source), '/');
    // Only a dot inside the file name starts its extension; a dot in a folder name does not.
    const std::string ext = PathExtension(path);
    return path.substr(0, path.size() - ext.size()) + extension;
}

std::string SubtitleCandidate(const std::string& source)
{
    const std::string ext = PathExtension(source);
    if (ext.empty())
        return {};
    const std::string base = source.substr(0, source.size() - ext.size());
    if (FileExists(base + ".smi"))
        return base + ".smi";
    return base + ".sub";
}

std::string ProgramPath(const std::string& name)
{
    const std::string local = GetProgramFolder() + name;
    if (FileExists(local) && access(local.c_str(), X_OK) == 0)
        return local;
    return name;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string ScriptText(const std::vector<std::string>& command)
{
    std::string text = "PATH=\"${PATH}:\"" + ShellQuote(GetProgramFolder() + "codecs/") + "; export PATH\nexec";
    for (const auto& word : command)
        text += " " + ShellQuote(word);
    return text + "\n";
}

PreparedJob PrepareEncodingJob(const std::string& source, const std::string& folder, const std::string& prefix,
                               const std::string& workFolder, const EncodeSettings& settings)
{
    PreparedJob job = startPreparing(source, folder, prefix, ".avi", workFolder);
    if (!job.ok())
        return job;
    std::vector<std::string> command = {ProgramPath("mencoder")};
    for (auto& arg : ComposeArguments(settings, source, SubtitleCandidate(source), job.partialPath,
                                      workFolder))
        command.push_back(std::move(arg));
    return writeScript(workFolder, kEncodeScriptName, command, std::move(job));
}

PreparedJob PrepareAudioDumpJob(const std::string& source, const std::string& folder, const std::string& prefix,
                                const std::string& workFolder)
{
    PreparedJob job = startPreparing(source, folder, prefix, ".mp3", workFolder);
    if (!job.ok())
        return job;
    const std::vector<std::string> command = {ProgramPath("mplayer"), "-vo", "null", "-dumpaudio", source,
                                              "-dumpfile", job.partialPath};
    return writeScript(workFolder, kAudioDumpScriptName, command, std::move(job));
}

namespace {

constexpr char kPartialPrefix[] = ".vmx-";
constexpr std::size_t kPartialLetters = 8;

}  // namespace

std::string CreatePartialOutput(const std::string& target, const std::string& extension, std::string& partial,
                                const std::string& runFolder)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    const std::string folder = FolderOfPath(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = kPartialPrefix;
        for (std::size_t i = 0; i < kPartialLetters; ++i)
            name += kLetters[pick(random)];
        partial = folder + name + extension;
        // A new file only, with the permissions the encoder would have given the output.
        UniqueFd fd(open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd.ok()) {
            if (runFolder.empty())
                return {};
            std::string problem = RecordPartialOutput(runFolder, partial, fd.get());
            if (!problem.empty()) {
                unlink(partial.c_str());
                partial.clear();
                problem = "cannot record it in " + runFolder + ": " + problem;
            }
            return problem;
        }
        if (errno != EEXIST)
            break;
    }
    const std::string reason = std::strerror(errno);
    partial.clear();
    return reason;
}

bool IsPartialOutputName(const std::string& name)
{
    const std::size_t stem = sizeof kPartialPrefix - 1 + kPartialLetters;
    if (name.size() != stem + 4 || !name.starts_with(kPartialPrefix))
        return false;
    for (std::size_t i = sizeof kPartialPrefix - 1; i < stem; ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    const std::string extension = name.substr(stem);
    return extension == ".avi" || extension == ".mp3";
}

std::string PutOutputInPlace(const std::string& partial, const std::string& target)
{
    UniqueFd fd(open(partial.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.ok() || fsync(fd.get()) != 0 || rename(partial.c_str(), target.c_str()) != 0)
        return std::strerror(errno);
    // Without this the rename may be lost at a power cut although the file's bytes are on the disk.
    (void)SyncFolder(FolderOfPath(target));
    return {};
}

}  // namespace vmx
