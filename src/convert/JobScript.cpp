#include "JobScript.h"

#include "ComposeParameters.h"
#include "EncodeSettings.h"
#include "FileHelpers.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace {

PreparedJob writeScript(const char* scriptName, const std::vector<std::string>& command, std::string outputPath)
{
    PreparedJob job;
    job.scriptPath = GetWritableFolder() + scriptName;
    job.outputPath = std::move(outputPath);
    std::ofstream out(job.scriptPath, std::ios::binary | std::ios::trunc);
    if (out) {
        out << ScriptText(command);
        out.flush();
    }
    if (!out)
        job.error = "Cannot write the job script " + job.scriptPath + ": " + std::strerror(errno);
    return job;
}

}  // namespace

std::string OutputPathFor(const std::string& source, const std::string& folder, const std::string& prefix,
                          const std::string& extension)
{
    const std::string path = JoinPath(folder, prefix + PathFileName(source), '/');
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

PreparedJob PrepareEncodingJob(const std::string& source, const std::string& folder, const std::string& prefix)
{
    std::string output = OutputPathFor(source, folder, prefix, ".avi");
    std::vector<std::string> command = {ProgramPath("mencoder")};
    for (auto& arg : ComposeArguments(CurrentEncodeSettings(), source, SubtitleCandidate(source), output))
        command.push_back(std::move(arg));
    return writeScript(kEncodeScriptName, command, std::move(output));
}

PreparedJob PrepareAudioDumpJob(const std::string& source, const std::string& folder, const std::string& prefix)
{
    std::string output = OutputPathFor(source, folder, prefix, ".mp3");
    const std::vector<std::string> command = {ProgramPath("mplayer"), "-vo", "null", "-dumpaudio", source,
                                              "-dumpfile", output};
    return writeScript(kAudioDumpScriptName, command, std::move(output));
}
