#include "RecordingFixture.h"

#include "recdb/DbWriter.h"
#include "recdb/RecordStore.h"

#include "common/FilePaths.h"
#include "common/PendingFile.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vmxtest {

const vmx::LoadedPane& makeDb(vmx::RecordingSession& session, int side, const std::string& folder,
                              const std::string& name)
{
    const std::string path = folder + "/" + name;
    EXPECT_EQ(vmx::CreateEmptyDb(path), "");
    FakeUi ui;
    EXPECT_TRUE(session.loadPane(side, path, ui).ok) << ui.lastMessage();
    return session.pane(side);
}

const vmx::LoadedPane& reload(vmx::RecordingSession& session, int side)
{
    FakeUi ui;
    EXPECT_TRUE(session.loadPane(side, session.pane(side).dbPath, ui).ok) << ui.lastMessage();
    return session.pane(side);
}

std::string abandonedTemporaryFor(const std::string& target)
{
    const std::string folder = vmx::FolderOfPath(target);
    const std::vector<std::string> before = vmx::PendingFile::FindAbandoned(folder);
    // A child writes the file and ends without removing it; the kernel drops its lock.
    const pid_t child = fork();
    if (child == 0) {
        vmx::PendingFile file(target);
        _exit(file.ok() ? 0 : 1);
    }
    int status = -1;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    for (const std::string& path : vmx::PendingFile::FindAbandoned(folder)) {
        if (std::find(before.begin(), before.end(), path) == before.end())
            return path;
    }
    ADD_FAILURE() << "no temporary file was left beside " << target;
    return {};
}

std::uint8_t patternByte(int part, std::uint64_t offset)
{
    return static_cast<std::uint8_t>((offset * 7 + static_cast<std::uint64_t>(part) * 31 + offset / 251) & 0xFF);
}

void addRecording(vmx::RecordingSession& session, const vmx::LoadedPane& pane, const std::string& name,
                  std::uint32_t duration, const std::vector<std::uint64_t>& partSizes, std::uint64_t fillLimit)
{
    vmx::NewRecording recording;
    recording.name = name;
    recording.duration = duration;
    recording.startTime = 1700000000;
    recording.vid = 101;
    recording.aid = 102;
    const auto writeParts = [&](const std::string& prefix, std::vector<std::string>& names) -> std::string {
        for (std::size_t i = 0; i < partSizes.size(); ++i) {
            const std::string partName = prefix + static_cast<char>('A' + i / 26) + static_cast<char>('A' + i % 26) + ".TRP";
            names.push_back(partName);
            const int fd = ::open((pane.folder + partName).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0)
                return "cannot create " + partName;
            bool ok = true;
            if (partSizes[i] <= fillLimit) {
                std::vector<std::uint8_t> bytes(partSizes[i]);
                for (std::uint64_t k = 0; k < bytes.size(); ++k)
                    bytes[k] = patternByte(static_cast<int>(i), k);
                ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
            } else {
                ok = ::ftruncate(fd, static_cast<off_t>(partSizes[i])) == 0;
            }
            ::close(fd);
            if (!ok)
                return "cannot write " + partName;
        }
        return {};
    };
    FakeUi ui;
    const int side = pane.side;
    ASSERT_TRUE(session.registerRecording(side, recording, writeParts, ui).ok) << ui.lastMessage();
    ASSERT_TRUE(session.savePane(side, ui).ok) << ui.lastMessage();
    reload(session, side);
}

AVMRec recordAt(const vmx::LoadedPane& pane, int row)
{
    AVMRec record{};
    EXPECT_TRUE(pane.store.get(static_cast<unsigned>(row + 1), record));
    return record;
}

void replaceRecord(vmx::RecordingSession& session, const vmx::LoadedPane& pane, int row, const AVMRec& record)
{
    // The session hands out its panes read-only; the test changes the record behind its back.
    const_cast<vmx::LoadedPane&>(pane).store.set(static_cast<unsigned>(row + 1), record);
    FakeUi ui;
    session.rebuildTiming(pane.side, ui);
}

std::vector<std::string> partNames(const AVMRec& record)
{
    std::vector<std::string> names;
    for (int i = 0; i < record.partCount; ++i)
        names.emplace_back(record.parts[i].name, kAVMPartNameLen);
    return names;
}

}  // namespace vmxtest
