// Feeds arbitrary bytes to the database reader as a database file, then does what a pane does
// with a loaded database: measures its recordings and reads every listed record, and runs the
// read-only file check on the same bytes. The same bytes, given a valid checksum, are also read
// as the plan of a cut found beside the database, and checked against it as a found plan is.
#include "recdb/DbCheck.h"
#include "recdb/DbReader.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/RecordStore.h"
#include "common/BigEndian.h"
#include "common/Fnv1a.h"
#include "recording/CutJournal.h"
#include "recording/CutPlanClaims.h"
#include "recording/UndoStore.h"
#include "recdb/DbCompanions.h"
#include "recording/QuietUi.h"
#include "recording/RecordingSession.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

std::string& folder()
{
    static std::string path = [] {
        const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string tmpl = std::string(shm) + "/vmx-fuzz-XXXXXX";
        if (!mkdtemp(tmpl.data()))
            std::abort();
        return tmpl + "/";
    }();
    return path;
}

vmx::RecordingSession& session()
{
    static vmx::RecordingSession shared;
    if (!shared.ready() && !shared.init().empty())
        std::abort();
    return shared;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The same bytes stand as the folder's other database too, which the check reads for the part
    // names it lists.
    const std::string db = folder() + "DZT000.DB";
    for (const std::string& path : {db, folder() + "DZR000.DB"}) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            std::abort();
        if (size && std::fwrite(data, 1, size, f) != size)
            std::abort();
        std::fclose(f);
    }

    vmx::QuietUi ui;
    if (session().loadPane(vmx::kLeftSide, db, ui).ok) {
        for (const vmx::RecordRow& row : session().rows(vmx::kLeftSide))
            (void)session().details(vmx::kLeftSide, row.row);
        const vmx::RecordStore& store = session().pane(vmx::kLeftSide).store;
        for (unsigned id = 1; id <= store.listedCount() && id <= kDBMMaxIds; ++id) {
            AVMRec rec{};
            if (store.get(id, rec)) {
                (void)vmx::RecordPrefix(store, rec);
                (void)vmx::RecordHasSafeParts(rec);
            }
        }
    }
    (void)vmx::CheckDbFile(db);

    std::vector<std::uint8_t> plan(data, data + size);
    std::uint8_t sum[8];
    vmx::WriteBe64(sum, vmx::Fnv1a64(plan.data(), plan.size()));
    plan.insert(plan.end(), sum, sum + 8);
    vmx::CutJournal journal;
    if (vmx::DecodeCutJournal(plan.data(), plan.size(), journal).empty()) {
        vmx::FolderParts parts;
        (void)vmx::ReadFolderParts(folder(), parts);
        (void)vmx::CheckCutPlanClaims(journal, db, parts);
    }
    // The same bytes as the manifest of an undo entry of the database: what an undo would do with it.
    vmx::UndoManifest manifest;
    if (vmx::DecodeUndoManifest(plan.data(), plan.size(), manifest).empty()) {
        const std::string entry = folder() + vmx::UndoEntryName("DZT000.DB", 1);
        std::filesystem::create_directories(entry);
        std::FILE* f = std::fopen((entry + vmx::kUndoManifestName).c_str(), "wb");
        if (!f || std::fwrite(plan.data(), 1, plan.size(), f) != plan.size())
            std::abort();
        std::fclose(f);
        vmx::FolderParts parts;
        (void)vmx::ReadFolderParts(folder(), parts);
        (void)vmx::UndoLatest(db, parts);
        std::filesystem::remove_all(vmx::UndoRootOf(folder()));
    }
    return 0;
}
