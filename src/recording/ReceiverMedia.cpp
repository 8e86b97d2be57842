#include "recording/ReceiverMedia.h"

namespace vmx {

std::string ReceiverMedia::root(MediaKind kind, bool create, UserInterface& ui,
                                std::vector<std::string>* failures) const
{
    std::string error;
    const std::string root = m_findRoot(error);
    if (!root.empty() && (!create || (error = EnsureReceiverFolder(root, kind)).empty()))
        return root;
    ui.showMessage(error);
    if (failures)
        failures->push_back(error);
    return {};
}

MediaListing ReceiverMedia::listMedia(MediaKind kind, UserInterface& callerUi)
{
    return m_gate.run<MediaListing>(callerUi, [&](UserInterface& ui) {
        MediaListing listing;
        const std::string found = root(kind, false, ui, nullptr);
        if (found.empty())
            return listing;
        listing.ok = true;
        listing.folder = ReceiverMediaFolder(found, kind);
        listing.files = ListReceiverFiles(found, kind);
        return listing;
    });
}

bool ReceiverMedia::ensureMediaFolder(MediaKind kind, UserInterface& callerUi)
{
    return m_gate.run<bool>(callerUi, [&](UserInterface& ui) { return !root(kind, true, ui, nullptr).empty(); });
}

MediaResult ReceiverMedia::putMedia(MediaKind kind, const std::vector<std::string>& pcPaths, UserInterface& callerUi)
{
    return m_gate.run<MediaResult>(callerUi, [&](UserInterface& ui) {
        MediaResult result;
        const std::string found = root(kind, true, ui, &result.failures);
        if (found.empty())
            return result;
        result = CopyMediaToReceiver(pcPaths, ReceiverMediaFolder(found, kind), ui);
        result.refresh.receiverFiles = true;
        return result;
    });
}

MediaResult ReceiverMedia::getMedia(MediaKind kind, const std::vector<std::string>& names,
                                    const std::string& pcFolder, UserInterface& callerUi)
{
    return m_gate.run<MediaResult>(callerUi, [&](UserInterface& ui) {
        MediaResult result;
        const std::string found = root(kind, false, ui, &result.failures);
        if (found.empty())
            return result;
        return CopyMediaToPc(names, ReceiverMediaFolder(found, kind), pcFolder, ui);
    });
}

MediaResult ReceiverMedia::deleteMedia(MediaKind kind, const std::vector<std::string>& names,
                                       UserInterface& callerUi)
{
    return m_gate.run<MediaResult>(callerUi, [&](UserInterface& ui) {
        MediaResult result;
        const std::string found = root(kind, false, ui, &result.failures);
        if (found.empty())
            return result;
        result = DeleteMediaFiles(names, ReceiverMediaFolder(found, kind));
        if (!result.failures.empty()) {
            std::string text;
            for (const std::string& failure : result.failures)
                text += (text.empty() ? "" : "\n") + failure;
            ui.showMessage(text);
        }
        result.refresh.receiverFiles = true;
        return result;
    });
}

}  // namespace vmx
