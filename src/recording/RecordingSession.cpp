#include "recording/RecordingSession.h"

#include "common/FilePaths.h"
#include "common/RegularFile.h"
#include "common/UniqueFd.h"
#include "recdb/DbCheck.h"
#include "recdb/DbReader.h"
#include "recdb/DbWriter.h"
#include "recdb/DiskNaming.h"
#include "recdb/FileCache.h"
#include "recdb/StoreEdit.h"
#include "recdb/Trace.h"
#include "recdb/DbCompanions.h"
#include "recording/DbFolderTidy.h"
#include "common/FileLock.h"
#include "common/FileFingerprint.h"
#include "recording/RecordingFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace vmx {

namespace {

// The session that holds the record store, if any.
std::atomic<const RecordingSession*> g_owner{nullptr};

constexpr std::size_t kCaptionLength = 48;

std::string inUseMessage(const std::string& dbPath, const FileLock& lock)
{
    return "The database " + dbPath + " is in use by " + lock.holder() + "; try again when it has finished.";
}

std::string changedMessage(const std::string& dbPath)
{
    return "The database " + dbPath + " was changed by another program after it was loaded, so nothing was done; "
           "load it again.";
}

// A folder path for stat: the current folder when empty.
std::string folderOrCurrent(const std::string& path)
{
    const std::string folder = FolderOfPath(path);
    return folder.empty() ? std::string(".") : folder;
}

// What a load says about a damaged header, list or records: the problems in velmorix-cli check's
// words, at most kShownProblems of them.
constexpr std::size_t kShownProblems = 10;

std::string listingDamageMessage(const std::vector<std::string>& problems)
{
    std::string text;
    for (std::size_t i = 0; i < problems.size() && i < kShownProblems; ++i)
        text += (text.empty() ? "" : "\n") + problems[i];
    if (problems.size() > kShownProblems)
        text += "\n... and " + std::to_string(problems.size() - kShownProblems) +
                " more problems of the same kind (velmorix-cli check names them all).";
    return text;
}

// Which lock errors still let a reader go on without the lock: a read-only disk or folder, where
// nobody can write the database either.
bool readableWithoutLock(int error)
{
    return error == EROFS || error == EACCES || error == EPERM;
}

}  // namespace

int DbKindOf(const std::string& fileName)
{
    return fileName.starts_with("DZT") ? 0 : 1;
}

bool BreaksKindRule(const std::string& leftName, const std::string& rightName)
{
    return (leftName.starts_with("DZT") && !rightName.starts_with("DZT")) ||
           (leftName.starts_with("DZR") && !rightName.starts_with("DZR"));
}

std::string PaneCaption(const std::string& dbPath)
{
    return dbPath.size() <= kCaptionLength ? dbPath : dbPath.substr(dbPath.size() - kCaptionLength);
}

// The port an operation uses: the caller's, but never while the operation holds a lock and the
// user is to answer. Before a question or a chooser every lock of the session is given up; after
// it they are taken again, the folders put in order again, and each database checked to be what
// its pane loaded. Messages that wait for the user (a message box) are kept until the operation
// has given its locks up, unless a question comes first: then they go before it, in order. What is
// still kept when the operation ends goes to the port as its final messages.
class RecordingSession::LockAwareUi final : public ForwardingUi {
public:
    LockAwareUi(RecordingSession& session, UserInterface& ui) : ForwardingUi(ui), m_session(session), m_ui(ui) {}
    ~LockAwareUi() override = default;
    LockAwareUi(const LockAwareUi&) = delete;
    LockAwareUi& operator=(const LockAwareUi&) = delete;

    bool askYesNo(const std::string& text, const std::string& caption) override
    {
        bool answer = false;
        return whileUnlocked([&] { answer = m_ui.askYesNo(text, caption); }) && answer;
    }
    void showMessage(const std::string& text, const std::string& caption) override
    {
        if (m_ui.messagesWait() && m_session.holdsALock()) {
            m_deferred.push_back({text, caption});
            return;
        }
        flush();
        m_ui.showMessage(text, caption);
    }
    std::string chooseFolder(const std::string& title, const std::string& initialFolder) override
    {
        std::string chosen;
        return whileUnlocked([&] { chosen = m_ui.chooseFolder(title, initialFolder); }) ? chosen : std::string();
    }
    std::vector<std::string> chooseFiles(const std::string& title, const std::string& filter) override
    {
        std::vector<std::string> chosen;
        return whileUnlocked([&] { chosen = m_ui.chooseFiles(title, filter); }) ? chosen : std::vector<std::string>();
    }
    std::string chooseNewFile(const std::string& title, const std::string& defaultName, const std::string& filter) override
    {
        std::string chosen;
        return whileUnlocked([&] { chosen = m_ui.chooseNewFile(title, defaultName, filter); }) ? chosen : std::string();
    }
    bool updateProgress(const CopyProgressView& view) override
    {
        return m_ui.updateProgress(view) && !m_session.m_lockLost;
    }

    // Shows the messages kept so far.
    void flush()
    {
        std::vector<UserMessage> pending;
        pending.swap(m_deferred);
        for (const UserMessage& message : pending)
            m_ui.showMessage(message.text, message.caption);
    }
    // The operation has ended: what it kept goes to the port as its final messages.
    void finish()
    {
        std::vector<UserMessage> pending;
        pending.swap(m_deferred);
        if (!pending.empty())
            m_ui.showFinalMessages(pending);
    }

private:
    // Runs `ask` with the session's locks given up; false when they could not be taken again or a
    // database changed meanwhile (the user was told, and the operation must not go on).
    template <typename Ask>
    bool whileUnlocked(Ask ask)
    {
        flush();
        if (!m_ui.questionsWait()) {
            ask();
            return true;
        }
        std::array<std::string, 2> held;
        for (const int side : {kLeftSide, kRightSide}) {
            const auto index = static_cast<std::size_t>(side);
            if (m_session.m_locks[index] && m_session.m_locks[index]->held())
                held[index] = m_session.m_lockedFor[index];
            m_session.unlock(side);
        }
        ask();
        bool kept = true;
        for (const int side : {kLeftSide, kRightSide}) {
            const std::string& dbPath = held[static_cast<std::size_t>(side)];
            if (dbPath.empty() || !kept)
                continue;
            std::string problem;
            if (const int error = m_session.lockAndTidy(side, dbPath, *this, &problem); error != 0) {
                if (error != EWOULDBLOCK)
                    showMessage(problem.empty() ? "Cannot lock the database " + dbPath + ": " + std::strerror(error) + "."
                                                : problem,
                                {});
                kept = false;
                continue;
            }
            const LoadedPane& pane = m_session.pane(side);
            FileFingerprint now;
            if (pane.dbPath == dbPath &&
                (!TakeFingerprint(dbPath, kMaxDbContentSize, now).empty() ||
                 now != m_session.m_loadedAs[static_cast<std::size_t>(side)])) {
                showMessage(changedMessage(dbPath), {});
                if (m_session.m_refresh)
                    m_session.m_refresh->reload(side);
                kept = false;
            }
        }
        if (!kept)
            m_session.m_lockLost = true;
        return kept;
    }

    RecordingSession& m_session;
    UserInterface& m_ui;
    std::vector<UserMessage> m_deferred;
};

// The databases an operation works on: their locks, held from the start of the operation to its
// end (or taken over from a load with LoadIntent::Change), and the check that each is still what
// its pane loaded. The locks are given up when the guard goes.
class RecordingSession::PaneGuard {
public:
    enum class Access { Read, Write };

    PaneGuard(RecordingSession& session, UserInterface& ui, PaneRefresh& refresh)
        : m_session(session), m_ui(ui), m_refresh(refresh)
    {
        m_session.m_refresh = &refresh;
    }
    ~PaneGuard()
    {
        for (const int side : m_sides)
            m_session.unlock(side);
        m_session.m_refresh = nullptr;
    }
    PaneGuard(const PaneGuard&) = delete;
    PaneGuard& operator=(const PaneGuard&) = delete;

    // Takes the side's lock and checks its database; false after telling the user why the
    // operation cannot go on. A reader goes on without the lock on a disk nobody can write.
    bool take(int side, Access access)
    {
        const LoadedPane& pane = m_session.pane(side);
        if (!pane.loaded())
            return true;
        m_sides.push_back(side);
        const auto& held = m_session.m_locks[static_cast<std::size_t>(side)];
        if (!held || !held->held()) {
            std::string problem;
            const int error = m_session.lockAndTidy(side, pane.dbPath, m_ui, &problem);
            if (error == EWOULDBLOCK)
                return false;
            if (error != 0 && (access == Access::Write || !readableWithoutLock(error))) {
                m_ui.showMessage(problem.empty() ? "Cannot lock the database " + pane.dbPath + ": " +
                                                       std::strerror(error) + "."
                                                 : problem);
                return false;
            }
        }
        FileFingerprint now;
        if (std::string error = TakeFingerprint(pane.dbPath, kMaxDbContentSize, now); !error.empty()) {
            m_ui.showMessage(error);
            return false;
        }
        if (now != m_session.m_loadedAs[static_cast<std::size_t>(side)]) {
            m_ui.showMessage(changedMessage(pane.dbPath));
            m_refresh.reload(side);
            return false;
        }
        return true;
    }

    // Both sides of a transfer, in one order whatever the direction, so that two programs
    // copying in opposite directions cannot each hold one lock and wait for the other.
    bool takeBoth(int readSide, int writeSide)
    {
        const bool readFirst = m_session.pane(readSide).dbPath <= m_session.pane(writeSide).dbPath;
        const int first = readFirst ? readSide : writeSide;
        const int second = readFirst ? writeSide : readSide;
        return take(first, first == readSide ? Access::Read : Access::Write) &&
               take(second, second == readSide ? Access::Read : Access::Write);
    }

private:
    RecordingSession& m_session;
    UserInterface& m_ui;
    PaneRefresh& m_refresh;
    std::vector<int> m_sides;
};

// One operation at a time: `body` runs only while no other operation runs and the session is set
// up; otherwise the user is told and nothing is done. The operation talks to the user through a
// LockAwareUi, which keeps the locks out of the user's way; what it kept to say goes to the port as
// the operation's final messages when it ends, after its locks were given up.
bool RecordingSession::runOperation(UserInterface& callerUi, const OperationGate::Body& body)
{
    bool idle = false;
    if (!m_busy.compare_exchange_strong(idle, true)) {
        callerUi.showMessage(kBusyMessage);
        return false;
    }
    if (!m_ready) {
        m_busy = false;
        callerUi.showMessage("The record store is not set up, so nothing was done.");
        return false;
    }
    m_lockLost = false;
    LockAwareUi ui(*this, callerUi);
    struct End {
        LockAwareUi& ui;
        std::atomic<bool>& busy;
        ~End()
        {
            ui.finish();
            busy = false;
        }
    } end{ui, m_busy};
    body(ui);
    return true;
}

RecordingSession::RecordingSession()
{
    paneOf(kRightSide).side = kRightSide;
}

RecordingSession::~RecordingSession()
{
    release();
}

std::string RecordingSession::init()
{
    const RecordingSession* holder = nullptr;
    if (!g_owner.compare_exchange_strong(holder, this) && holder != this)
        return "another recording session holds the record store.";
    if (AVMInitFileCache() != 0) {
        g_owner = nullptr;
        return "not enough memory for the record store.";
    }
    forgetPanes();
    m_lastLoadedDbKind = 0;
    m_ready = true;
    return {};
}

void RecordingSession::forgetPanes()
{
    for (const int side : {kLeftSide, kRightSide}) {
        paneOf(side) = LoadedPane{};
        paneOf(side).side = side;
    }
}

void RecordingSession::release()
{
    m_ready = false;
    unlock(kLeftSide);
    unlock(kRightSide);
    if (g_owner.load() != this)
        return;
    forgetPanes();
    g_owner = nullptr;
}

const LoadedPane& RecordingSession::pane(int side) const
{
    return m_panes[side == kLeftSide ? 0 : 1];
}

LoadedPane& RecordingSession::paneOf(int side)
{
    return m_panes[side == kLeftSide ? 0 : 1];
}

std::string RecordingSession::writePane(int side, DbOperation& operation)
{
    LoadedPane& target = paneOf(side);
    FileFingerprint& loadedAs = m_loadedAs[static_cast<std::size_t>(side)];
    if (m_lockLost)
        return "the lock of " + target.dbPath + "'s folder could not be taken again after the question, so nothing "
               "was written.";
    // Another program may have written the file without taking the lock: nothing is put over it.
    FileFingerprint now;
    if (TakeFingerprint(target.dbPath, kMaxDbContentSize, now).empty() && now != loadedAs) {
        if (m_refresh)
            m_refresh->reload(side);
        return changedMessage(target.dbPath);
    }
    std::string error = operation.write(target.store, target.dbPath);
    if (error.empty()) {
        (void)TakeFingerprint(target.dbPath, kMaxDbContentSize, loadedAs);
        target.damagedSlots.clear();
    }
    return error;
}

int RecordingSession::lockAndTidy(int side, const std::string& dbPath, UserInterface& ui, std::string* problem,
                                  std::vector<DbFileRead>* reads)
{
    std::shared_ptr<FileLock>& mine = m_locks[static_cast<std::size_t>(side)];
    if (mine && mine->held())
        return 0;
    const std::string lockPath = FolderLockPath(dbPath);
    // Both panes in one folder hold one lock: a second lock of this process on the same file would
    // wait for the first.
    const std::shared_ptr<FileLock>& other = m_locks[static_cast<std::size_t>(1 - side)];
    if (other && other->held() && IsSameFile(folderOrCurrent(other->path()), folderOrCurrent(lockPath))) {
        mine = other;
        m_lockedFor[static_cast<std::size_t>(side)] = dbPath;
        return 0;
    }
    auto lock = std::make_shared<FileLock>();
    const int error = lock->acquire(lockPath, m_lockWait);
    if (error == EWOULDBLOCK)
        ui.showMessage(inUseMessage(dbPath, *lock));
    if (error != 0) {
        if (problem)
            *problem = lock->problem();
        return error;
    }
    mine = std::move(lock);
    m_lockedFor[static_cast<std::size_t>(side)] = dbPath;
    TidyReport tidy = TidyFolder(FolderOfPath(dbPath));
    for (const std::string& note : tidy.notes())
        ui.showMessage(note);
    if (reads)
        *reads = std::move(tidy.reads);
    return 0;
}

void RecordingSession::unlock(int side)
{
    m_locks[static_cast<std::size_t>(side)].reset();
    m_lockedFor[static_cast<std::size_t>(side)].clear();
}

bool RecordingSession::holdsALock() const
{
    for (const auto& lock : m_locks) {
        if (lock && lock->held())
            return true;
    }
    return false;
}

std::string RecordingSession::readIntoPane(int side, const std::string& dbPath, std::vector<std::uint8_t>* contentOut,
                                           const std::vector<DbFileRead>* readBefore)
{
    if (std::string refusal = DbPathRefusal(dbPath); !refusal.empty())
        return refusal;
    // The reader's own messages name the receiver's path; a file that cannot be opened at all is
    // reported here with its real name and the reason. The file is opened and read once: the
    // content its fingerprint hashes is what the reader decodes, and what the folder's tidying
    // read just before is taken as it is while the file has not changed since.
    std::shared_ptr<UniqueFd> file;
    FileFingerprint loadedAs;
    std::vector<std::uint8_t> content;
    for (const DbFileRead& earlier : readBefore ? *readBefore : std::vector<DbFileRead>{}) {
        if (FileUnchanged(earlier.fd->get(), dbPath, earlier.fingerprint)) {
            file = earlier.fd;
            loadedAs = earlier.fingerprint;
            content = earlier.content;
            break;
        }
    }
    const bool takenAsRead = file != nullptr;
    std::uint64_t size = 0;
    if (!file) {
        file = std::make_shared<UniqueFd>();
        if (std::string error = OpenRegularFile(dbPath, O_RDONLY, *file, size); !error.empty())
            return error;
    }
    if (!FitsDbPath(dbPath))
        return "the database path " + dbPath + " is too long.";
    LoadedPane& pane = paneOf(side);
    // The file must not change while it is read: a file that another program wrote to or replaced
    // meanwhile (one that takes no lock) is read again.
    bool read = false;
    bool steady = false;
    for (int attempt = 0; attempt < 3 && !steady; ++attempt) {
        if (attempt > 0 && !FileUnchanged(file->get(), dbPath, loadedAs)) {
            // Another file took its name: that one is read.
            auto again = std::make_shared<UniqueFd>();
            if (OpenRegularFile(dbPath, O_RDONLY, *again, size).empty())
                file = std::move(again);
        }
        if (attempt > 0 || !takenAsRead) {
            if (std::string error = TakeFingerprint(file->get(), dbPath, kMaxDbContentSize, loadedAs, &content);
                !error.empty())
                return error;
        }
        read = ReadDb(pane.store, content);
        if (!read)
            break;
        steady = FileUnchanged(file->get(), dbPath, loadedAs);
    }
    // A file that never held still is loaded as last read, with a fingerprint no file has, so that
    // nothing is written over it before it has been loaded again.
    if (read && !steady)
        loadedAs = FileFingerprint{};
    if (!read) {
        // The pane keeps its previous database and its records, never the rejected file's path.
        return "cannot read the database " + dbPath + ": it is damaged or not a recordings database (" +
               DBMLastTrace() + ").";
    }
    pane.side = side;
    pane.dbPath = dbPath;
    pane.folder = FolderOfPath(dbPath);
    pane.fileName = FileNameOfPath(dbPath);
    pane.dbKind = DbKindOf(pane.fileName);
    std::uint8_t header[6] = {};  // bytes a short file lacks read as zeros, as the reader reads them
    std::copy_n(content.begin(), std::min(content.size(), sizeof header), header);
    pane.header = DecodeDbHeader(header);
    pane.timing = BuildTimingList(pane.store, pane.folder);
    pane.damagedSlots.clear();  // a load says which records are damaged
    m_loadedAs[static_cast<std::size_t>(side)] = loadedAs;
    if (contentOut)
        *contentOut = std::move(content);
    return {};
}

std::vector<RecordRow> RecordingSession::rows(int side) const
{
    std::vector<RecordRow> out;
    const LoadedPane& shown = pane(side);
    if (busy() || !m_ready || !shown.loaded())
        return out;
    const int count = static_cast<int>(std::min<unsigned>(shown.store.listedCount(), kDBMMaxIds));
    for (int row = 0; row < count; ++row) {
        AVMRec record{};
        if (shown.store.get(static_cast<unsigned>(row + 1), record)) {
            out.push_back(RowOf(row, record, shown.timingAt(row)));
            out.back().damaged = shown.damagedSlots.count(record.slot) != 0;
        } else {
            RecordRow missing;
            missing.row = row;
            missing.id = static_cast<unsigned>(row + 1);
            missing.timing = shown.timingAt(row);
            out.push_back(missing);
        }
    }
    return out;
}

std::optional<RecordDetails> RecordingSession::details(int side, int row) const
{
    const LoadedPane& shown = pane(side);
    if (busy() || !m_ready || !shown.loaded() || row < 0)
        return std::nullopt;
    AVMRec record{};
    if (static_cast<unsigned>(row) >= std::min<unsigned>(shown.store.listedCount(), kDBMMaxIds) ||
        !shown.store.get(static_cast<unsigned>(row + 1), record))
        return std::nullopt;
    return DetailsOf(row, record, shown.folder, shown.timingAt(row));
}

std::string RecordingSession::refusalToLoad(int side, const std::string& dbPath) const
{
    const LoadedPane& other = pane(1 - side);
    if (!other.loaded())
        return {};
    if (IsSameFile(dbPath, other.dbPath))
        return kSameFileMessage;
    const std::string name = FileNameOfPath(dbPath);
    const std::string& left = side == kLeftSide ? name : other.fileName;
    const std::string& right = side == kLeftSide ? other.fileName : name;
    if (BreaksKindRule(left, right))
        return kOtherKindMessage;
    return {};
}

std::vector<std::string> RecordingSession::checkDatabase(const std::string& dbPath, std::chrono::milliseconds lockWait,
                                                         std::vector<std::string>* notes)
{
    std::vector<std::string> problems;
    if (std::string refusal = DbPathRefusal(dbPath); !refusal.empty()) {
        problems.push_back(refusal);
        return problems;
    }
    FileLock lock;
    const int error = lock.acquire(FolderLockPath(dbPath), lockWait);
    if (error == EWOULDBLOCK) {
        problems.push_back("the database " + dbPath + " is in use by " + lock.holder() +
                           ", so what interrupted operations left behind was not tidied up now.");
    } else if (error == 0) {
        const TidyReport tidy = TidyFolder(FolderOfPath(dbPath));
        if (notes) {
            for (const std::string& path : tidy.removed)
                notes->push_back("removed " + path + ", left behind by an interrupted operation.");
            for (std::string& note : tidy.settled())
                notes->push_back(std::move(note));
        }
        for (std::string& problem : tidy.unsettled())
            problems.push_back(std::move(problem));
    } else if (!lock.problem().empty() && !readableWithoutLock(error)) {
        problems.push_back(lock.problem());
    }
    // A staged part file the tidying left alone is named once, as the tidying said it.
    const auto saidAlready = [&](const std::string& problem) {
        const std::string path = problem.substr(0, problem.find(' '));
        if (!IsStagedPartName(FileNameOfPath(path)))
            return false;
        for (const std::string& said : problems) {
            if (said.starts_with(path + " "))
                return true;
        }
        return false;
    };
    for (std::string& problem : CheckDbFile(dbPath)) {
        if (!saidAlready(problem))
            problems.push_back(std::move(problem));
    }
    return problems;
}

LoadResult RecordingSession::loadPane(int side, const std::string& dbPath, UserInterface& callerUi, LoadIntent intent)
{
    return m_gate.run<LoadResult>(callerUi, [&](UserInterface& ui) {
        LoadResult result;
        if (const std::string refusal = refusalToLoad(side, dbPath); !refusal.empty()) {
            ui.showMessage(refusal);
            result.refused = true;
            return result;
        }
        // The database is read under its lock, after its folder was put in order. Where no lock can be
        // had (a read-only disk, a missing folder) it is read all the same, or the reading says why not.
        unlock(side);
        if (std::string refusal = DbPathRefusal(dbPath); !refusal.empty()) {
            ui.showMessage(refusal);
            return result;
        }
        std::string problem;
        std::vector<DbFileRead> tidyReads;
        if (const int error = lockAndTidy(side, dbPath, ui, &problem, &tidyReads); error == EWOULDBLOCK)
            return result;
        else if (error != 0 && !readableWithoutLock(error) && !problem.empty())
            ui.showMessage(problem);
        std::vector<std::uint8_t> content;
        if (const std::string error = readIntoPane(side, dbPath, &content, &tidyReads); !error.empty()) {
            unlock(side);
            ui.showMessage(error);
            return result;
        }
        // A header, a list or records the receiver would not write are said once, as velmorix-cli
        // check says them; the pane lists the recordings the file holds and marks the damaged ones.
        ListingCheck check = CheckListing(dbPath, content);
        paneOf(side).damagedSlots = std::move(check.damagedSlots);
        if (!check.problems.empty())
            ui.showMessage(listingDamageMessage(check.problems));
        if (intent == LoadIntent::Look)
            unlock(side);
        m_lastLoadedDbKind = pane(side).dbKind;
        result.ok = true;
        result.refresh.pane(side);
        return result;
    });
}

PaneRefresh RecordingSession::rebuildTiming(int side, UserInterface& callerUi)
{
    return m_gate.run<PaneRefresh>(callerUi, [&](UserInterface&) {
        PaneRefresh refresh;
        LoadedPane& target = paneOf(side);
        target.timing = BuildTimingList(target.store, target.folder);
        refresh.pane(target.side);
        return refresh;
    });
}

OfferResult RecordingSession::offerNewDb(int targetSide, UserInterface& callerUi)
{
    return m_gate.run<OfferResult>(callerUi, [&](UserInterface& ui) {
        OfferResult result;
        LoadedPane& target = paneOf(targetSide);
        const std::string defaultName = DefaultNewDbName(pane(kLeftSide).fileName, pane(kRightSide).fileName);
        if (target.loaded() || target.store.listedCount() > 0)
            return result;
        result.outcome = OfferResult::Outcome::Declined;
        if (!ui.askYesNo(kNoInformationQuestion, "Information"))
            return result;
        const std::string path = ui.chooseNewFile("", defaultName, kDbFileFilter);
        if (path.empty())
            return result;
        result.outcome = OfferResult::Outcome::Failed;
        if (const std::string error = CreateEmptyDb(path); !error.empty()) {
            ui.showMessage("Cannot create the database " + error + ".");
            return result;
        }
        if (const std::string error = readIntoPane(target.side, path); !error.empty()) {
            ui.showMessage("The new database " + FileNameOfPath(path) + " was created but cannot be loaded: " + error);
            return result;
        }
        ui.showMessage(kDbCreatedMessage);
        result.outcome = OfferResult::Outcome::Created;
        result.dbPath = path;
        result.refresh.pane(target.side);
        return result;
    });
}

CreateResult RecordingSession::createDatabase(const std::string& dbPath, UserInterface& callerUi)
{
    return m_gate.run<CreateResult>(callerUi, [&](UserInterface& ui) {
        CreateResult result;
        // Under the folder's lock, the folder put in order first, as for every change of a folder of
        // databases. A folder that cannot be locked (read-only, missing) is said by the creation.
        FileLock lock;
        if (const int error = lock.acquire(FolderLockPath(dbPath), m_lockWait); error == EWOULDBLOCK) {
            ui.showMessage(inUseMessage(dbPath, lock));
            return result;
        } else if (error == 0) {
            for (const std::string& note : TidyFolder(FolderOfPath(dbPath)).notes())
                ui.showMessage(note);
        }
        if (const std::string error = CreateEmptyDb(dbPath); !error.empty()) {
            ui.showMessage("cannot create the database " + error + ".");
            return result;
        }
        result.ok = true;
        result.dbPath = dbPath;
        return result;
    });
}

RenameResult RecordingSession::renameRow(int side, int row, const std::string& text, UserInterface& callerUi)
{
    return m_gate.run<RenameResult>(callerUi, [&](UserInterface& ui) {
        RenameResult result;
        LoadedPane& target = paneOf(side);
        if (!target.loaded())
            return result;
        PaneGuard guard(*this, ui, result.refresh);
        if (!guard.take(target.side, PaneGuard::Access::Write))
            return result;
        const auto id = static_cast<unsigned>(row + 1);
        AVMRec record{};
        if (row < 0 || id > target.store.listedCount() || !target.store.get(id, record)) {
            ui.showMessage("there is no recording " + std::to_string(id) + " in " + target.dbPath + ".");
            return result;
        }
        SetRecordName(record, text);
        // What the pane shows and the file holds stay as they were, also for the next write, unless
        // the database is written.
        StoreEdit edit(target.store);
        edit.set(id, record);
        DbOperation write;
        if (const std::string error = writePane(target.side, write); !error.empty()) {
            ui.showMessage(error + " " + target.dbPath + " is unchanged on disk.");
            return result;
        }
        edit.commit();
        result.ok = true;
        result.name = RecordDisplayName(record);
        result.refresh.pane(target.side);
        result.refresh.timingRow(target.side, row);
        return result;
    });
}

TransferResult RecordingSession::transferRecordings(int sourceSide, const std::vector<int>& rows, UserInterface& callerUi)
{
    TransferResult notRun;
    notRun.refused = true;
    return m_gate.run<TransferResult>(callerUi, [&](UserInterface& ui) {
        TransferResult result;
        const LoadedPane& source = pane(sourceSide);
        LoadedPane& target = paneOf(1 - sourceSide);
        PaneGuard guard(*this, ui, result.refresh);
        // Both sides holding one file is refused by the transfer itself (one lock cannot be held twice).
        if (!IsSameFile(source.dbPath, target.dbPath) && !guard.takeBoth(source.side, target.side)) {
            result.refused = true;
            return result;
        }
        DbOperation write;
        TransferResult done = TransferRecordings(source, target, rows, [&] { return writePane(target.side, write); }, ui);
        done.refresh.reloads = result.refresh.reloads;  // what writePane found
        result = std::move(done);
        result.refresh.pane(target.side);
        return result;
    }, notRun);
}

MergeResult RecordingSession::merge(int side, int row, const std::string& outFolder, UserInterface& callerUi)
{
    return m_gate.run<MergeResult>(callerUi, [&](UserInterface& ui) {
        MergeResult result;
        // The part files are read under the lock, so that no cut renames them meanwhile.
        PaneGuard guard(*this, ui, result.refresh);
        if (!guard.take(pane(side).side, PaneGuard::Access::Read))
            return result;
        return MergeRecording(pane(side), row, outFolder, ui);
    });
}

CutResult RecordingSession::cut(int side, int row, int markCount, double startMark, double endMark,
                                UserInterface& callerUi)
{
    return runCut(side, row, callerUi, [&](LoadedPane& target, const WritePaneDb& writeDb, UserInterface& ui) {
        return CutRecording(target, row, markCount, startMark, endMark, writeDb, ui);
    });
}

CutResult RecordingSession::cut(int side, int row, const CutRequest& request, UserInterface& callerUi)
{
    CutRequest kept = request;
    kept.keepForUndo = m_keepUndo && !request.dryRun;
    return runCut(side, row, callerUi, [&](LoadedPane& target, const WritePaneDb& writeDb, UserInterface& ui) {
        return CutRecording(target, row, kept, writeDb, ui);
    });
}

CutResult RecordingSession::runCut(int side, int row, UserInterface& callerUi, const CutOperation& operation)
{
    return m_gate.run<CutResult>(callerUi, [&](UserInterface& ui) {
        CutResult result;
        LoadedPane& target = paneOf(side);
        PaneGuard guard(*this, ui, result.refresh);
        if (!guard.take(target.side, PaneGuard::Access::Write))
            return result;
        DbOperation write;
        CutResult done = operation(target, [&] { return writePane(target.side, write); }, ui);
        for (std::size_t k = 0; k < done.refresh.reloads.size(); ++k)
            done.refresh.reloads[k] = done.refresh.reloads[k] || result.refresh.reloads[k];
        result = std::move(done);
        // The question was not answered No: the database changed while it was on the screen.
        if (result.outcome == CutOutcome::Declined && m_lockLost) {
            result.outcome = CutOutcome::Refused;
            result.resetMarks = false;
        }
        if (result.outcome == CutOutcome::Done || result.outcome == CutOutcome::Failed) {
            result.refresh.pane(target.side);
            result.refresh.timingRow(target.side, row);
        }
        return result;
    });
}

DeleteResult RecordingSession::deleteRows(int side, const std::vector<int>& rows, UserInterface& callerUi)
{
    return m_gate.run<DeleteResult>(callerUi, [&](UserInterface& ui) {
        DeleteResult result;
        LoadedPane& target = paneOf(side);
        if (!target.loaded()) {
            result.message = "No database is loaded to delete recordings from.";
            ui.showMessage(result.message);
            return result;
        }
        PaneGuard guard(*this, ui, result.refresh);
        if (!guard.take(target.side, PaneGuard::Access::Write))
            return result;
        DbOperation write;
        DeleteResult done = DeleteRecordRows(target, rows, [&] { return writePane(target.side, write); },
                                             UndoKeep{m_keepUndo, 0});
        done.refresh.reloads = result.refresh.reloads;  // what writePane found
        result = std::move(done);
        if (!result.ok)
            ui.showMessage(result.message);
        for (const std::string& kept : result.keptFiles)
            ui.showMessage(kept);
        for (const std::string& note : result.undoNotes)
            ui.showMessage(note);
        result.refresh.pane(target.side);
        return result;
    });
}

namespace {

// The port of a redo: the operation was asked for and answered once already, so its question is
// answered Yes; everything else goes to the user as usual.
class RedoUi : public ForwardingUi {
public:
    explicit RedoUi(UserInterface& ui) : ForwardingUi(ui) {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
};

}  // namespace

UndoResult RecordingSession::runUndoOperation(int side, UserInterface& callerUi, const char* what,
                                              const UndoOperation& operation)
{
    return m_gate.run<UndoResult>(callerUi, [&](UserInterface& ui) {
        UndoResult result;
        LoadedPane& target = paneOf(side);
        if (!target.loaded()) {
            ui.showMessage(std::string("No database is loaded to ") + what + ".");
            return result;
        }
        PaneGuard guard(*this, ui, result.refresh);
        if (guard.take(target.side, PaneGuard::Access::Write))
            operation(target, ui, result);
        return result;
    });
}

UndoResult RecordingSession::undo(int side, UserInterface& callerUi)
{
    return runUndoOperation(side, callerUi, "undo an operation of", [](LoadedPane& target, UserInterface& ui,
                                                                          UndoResult& result) {
        FolderParts parts;
        if (std::string error = ReadFolderParts(target.folder, parts); !error.empty()) {
            ui.showMessage("Nothing was taken back: " + error);
            return;
        }
        const UndoOutcome outcome = UndoLatest(target.dbPath, parts);
        result.label = outcome.label;
        if (!outcome.problem.empty())
            ui.showMessage(outcome.problem);
        result.ok = outcome.done;
        result.refresh.reload(target.side);
    });
}

UndoResult RecordingSession::redo(int side, UserInterface& callerUi)
{
    return runUndoOperation(side, callerUi, "redo an operation of", [this](LoadedPane& target, UserInterface& ui,
                                                                          UndoResult& result) {
        const std::vector<UndoEntryInfo> entries = ListUndoEntries(target.dbPath);
        const auto next = std::find_if(entries.begin(), entries.end(), [](const UndoEntryInfo& info) {
            return info.problem.empty() && info.manifest.state == UndoManifest::State::Undone;
        });
        if (next == entries.end()) {
            ui.showMessage("There is nothing to redo in " + target.dbPath + ".");
            return;
        }
        const UndoManifest& m = next->manifest;
        result.label = UndoLabel(m);
        // The operation runs again on the recordings as the undo left them.
        std::vector<int> rows;
        for (const UndoManifest::Recording& recording : m.before) {
            const int found = FindListedRecording(target.store, recording.record);
            if (found < 0) {
                ui.showMessage("The " + result.label + " cannot be done again: the recording \"" +
                               RecordDisplayName(recording.record) + "\" is no longer as it was.");
                return;
            }
            rows.push_back(found);
        }
        DbOperation write;
        const WritePaneDb writeDb = [&] { return writePane(target.side, write); };
        if (m.kind == UndoManifest::Kind::Delete) {
            DeleteResult done = DeleteRecordRows(target, rows, writeDb, UndoKeep{true, next->seq});
            if (!done.ok)
                ui.showMessage(done.message);
            for (const std::string& note : done.undoNotes)
                ui.showMessage(note);
            result.ok = done.ok;
        } else {
            CutRequest request;
            request.stretches = m.stretches;
            request.positioning = m.positioning;
            request.keepForUndo = true;
            request.undoSeq = next->seq;
            RedoUi redoUi(ui);
            result.ok = CutRecording(target, rows.front(), request, writeDb, redoUi).outcome == CutOutcome::Done;
        }
        result.refresh.pane(target.side);
        result.refresh.reload(target.side);
    });
}

UndoResult RecordingSession::emptyUndo(int side, UserInterface& callerUi)
{
    return runUndoOperation(side, callerUi, "empty the undo folder of", [](LoadedPane& target, UserInterface& ui,
                                                                          UndoResult& result) {
        if (std::string error = EmptyUndo(target.dbPath, &result.freed); !error.empty())
            ui.showMessage(error);
        else
            result.ok = true;
    });
}

UndoSummary RecordingSession::undoSummary(int side) const
{
    const LoadedPane& target = pane(side);
    return target.loaded() ? SummarizeUndo(target.dbPath) : UndoSummary{};
}

std::string RecordingSession::receiverRoot(std::string& error) const
{
    ReceiverClues clues{m_receiverRoot, {}, m_rememberedReceiver};
    for (const LoadedPane& pane : m_panes) {
        if (pane.loaded())
            clues.databases.push_back(pane.dbPath);
    }
    return ResolveReceiverRoot(clues, error);
}

RegisterResult RecordingSession::registerRecording(int side, const NewRecording& recording,
                                                   const WriteNewParts& writeParts, UserInterface& callerUi)
{
    return m_gate.run<RegisterResult>(callerUi, [&](UserInterface& ui) {
        RegisterResult result;
        LoadedPane& target = paneOf(side);
        if (!target.loaded()) {
            ui.showMessage("No database is loaded to register the recording in.");
            return result;
        }
        PaneRefresh changes;
        PaneGuard guard(*this, ui, changes);
        if (!guard.take(target.side, PaneGuard::Access::Write))
            return result;
        StoreEdit edit(target.store);
        std::uint16_t id = 0;
        AVMRec record{};
        if (!edit.alloc(id, record)) {
            ui.showMessage("the database " + target.dbPath + " has no free record slot.");
            return result;
        }
        std::vector<std::string> names;
        std::string error = writeParts(RecordPrefix(target.store, record), names);
        if (error.empty() && names.size() > static_cast<std::size_t>(kDBMMaxParts))
            error = "a recording has at most 280 part files.";
        for (const std::string& name : names) {
            if (error.empty() && (name.size() != kAVMPartNameLen || !IsSafePartNameOf(name.c_str(), target.dbPath)))
                error = "\"" + name + "\" is not a part file name.";
        }
        if (!error.empty()) {
            ui.showMessage(error);
            return result;
        }
        record.name[0] = recording.marker;
        SetRecordName(record, recording.name);
        record.startTime = recording.startTime;
        record.duration = recording.duration;
        record.vid = recording.vid;
        record.aid = recording.aid;
        record.pid = recording.pid;
        record.partCount = static_cast<std::uint16_t>(names.size());
        for (std::size_t j = 0; j < names.size(); ++j) {
            std::snprintf(record.parts[j].name, sizeof record.parts[j].name, "%s", names[j].c_str());
            result.partPaths.push_back(target.folder + names[j]);
        }
        edit.set(id, record);
        edit.commit();
        target.timing.resize(std::max<std::size_t>(target.store.listedCount(), id), TimingEntry::Unmeasured());
        target.timing[id - 1u] = ComputeTimingEntry(target.folder, record);
        result.ok = true;
        result.id = id;
        return result;
    });
}

SaveResult RecordingSession::savePane(int side, UserInterface& callerUi)
{
    return m_gate.run<SaveResult>(callerUi, [&](UserInterface& ui) {
        SaveResult result;
        const LoadedPane& target = pane(side);
        PaneGuard guard(*this, ui, result.refresh);
        if (!guard.take(target.side, PaneGuard::Access::Write))
            return result;
        DbOperation write;
        if (const std::string error = writePane(target.side, write); !error.empty()) {
            ui.showMessage(error);
            return result;
        }
        result.ok = true;
        result.refresh.pane(target.side);
        return result;
    });
}

}  // namespace vmx
