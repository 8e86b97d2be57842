#include "cli/CliCommand.h"

#include "cli/ChangeReport.h"
#include "cli/RecordingArgs.h"
#include "cli/TerminalUi.h"

#include <algorithm>
#include <sys/stat.h>

namespace vmx::cli {

namespace {

// The receiver folder a file belongs in, from its extension.
vmx::MediaKind KindOf(const std::string& name)
{
    if (const auto kind = vmx::MediaKindOfFileName(name))
        return *kind;
    throw UsageError{"\"" + name + "\" is neither an MP3 file (.mp3) nor a picture (.jpg, .jpeg)"};
}

// The arguments that belong in the receiver folder of `kind`.
std::vector<std::string> OfKind(const Args& args, vmx::MediaKind kind)
{
    std::vector<std::string> names;
    std::copy_if(args.begin(), args.end(), std::back_inserter(names),
                 [&](const std::string& name) { return KindOf(name) == kind; });
    return names;
}

vmx::MediaKind KindByName(const std::string& word)
{
    if (word == "mp3")
        return vmx::MediaKind::Mp3;
    if (word == "image" || word == "jpeg")
        return vmx::MediaKind::Image;
    throw UsageError{"\"" + word + "\" is not a media kind (mp3 or image)"};
}

void Finish(TerminalUi& ui, const vmx::MediaResult& result, ChangeReport* report, bool deleted)
{
    if (!result.failures.empty())
        throw Failure{ui.takeMessages().empty() ? result.failures.front() : result.failures.front() +
                      (result.failures.size() > 1 ? " (and " + std::to_string(result.failures.size() - 1) + " more)" : "")};
    if (!report) {
        ui.printMessages();
        return;
    }
    report->messages(ui.takeMessageList());
    for (const std::string& path : result.paths)
        deleted ? report->removed(path) : report->written(path);
}

}  // namespace

int RunMedia(const Args& input)
{
    Args args = input;
    const std::string override = TakeOption(args, "--receiver");
    const bool json = TakeFlag(args, "--json");
    if (args.empty())
        throw UsageError{"say put, get, list or delete"};
    const std::string action = args[0];
    args.erase(args.begin());
    ChangeReport report("media " + action);
    ChangeReport* changes = json ? &report : nullptr;
    vmx::RecordingSession& s = Session();
    s.setReceiverRoot(override);
    std::string error;
    if (s.receiverRoot(error).empty())
        throw Failure{error};
    TerminalUi ui(false);

    if (action == "put") {
        if (args.empty())
            throw UsageError{"name the files to copy onto the receiver"};
        for (const vmx::MediaKind kind : {vmx::MediaKind::Mp3, vmx::MediaKind::Image}) {
            const std::vector<std::string> files = OfKind(args, kind);
            if (!files.empty())
                Finish(ui, s.media().putMedia(kind, files, ui), changes, false);
        }
    } else if (action == "get") {
        if (args.size() < 2)
            throw UsageError{"name the receiver's files and the folder to copy them into"};
        const std::string target = args.back();
        args.pop_back();
        struct stat st {};
        if (::stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            throw Failure{target + " is not a folder."};
        for (const vmx::MediaKind kind : {vmx::MediaKind::Mp3, vmx::MediaKind::Image}) {
            const std::vector<std::string> names = OfKind(args, kind);
            if (!names.empty())
                Finish(ui, s.media().getMedia(kind, names, target, ui), changes, false);
        }
    } else if (action == "list") {
        if (args.size() != 1)
            throw UsageError{"say which folder to list: mp3 or image"};
        const vmx::MediaListing listing = s.media().listMedia(KindByName(args[0]), ui);
        if (!listing.ok)
            throw Failure{ui.takeMessages()};
        if (json) {
            Json out;
            out.beginObject().key("folder").value(listing.folder).key("files").beginArray();
            for (const vmx::MediaFileEntry& file : listing.files) {
                out.beginObject().key("number").value(static_cast<unsigned>(file.number)).key("name").value(file.name)
                    .key("size_kb").value(file.sizeKb).endObject();
            }
            out.endArray().endObject();
            std::printf("%s\n", out.str().c_str());
            return kExitOk;
        }
        for (const vmx::MediaFileEntry& file : listing.files)
            std::printf("%d\t%s\t%u\n", file.number, file.name.c_str(), file.sizeKb);
        return kExitOk;
    } else if (action == "delete") {
        if (args.empty())
            throw UsageError{"name the receiver's files to delete"};
        for (const vmx::MediaKind kind : {vmx::MediaKind::Mp3, vmx::MediaKind::Image}) {
            const std::vector<std::string> names = OfKind(args, kind);
            if (!names.empty())
                Finish(ui, s.media().deleteMedia(kind, names, ui), changes, true);
        }
    } else {
        throw UsageError{"\"" + action + "\" is not put, get, list or delete"};
    }
    if (json)
        report.print();
    return kExitOk;
}

}  // namespace vmx::cli
