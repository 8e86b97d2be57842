#pragma once

#include "recording/Cut.h"
#include "recording/Deletion.h"
#include "recording/LoadedPane.h"
#include "recording/Merge.h"
#include "recording/PaneRefresh.h"
#include "recording/ReceiverDisk.h"
#include "recording/ReceiverMedia.h"
#include "recording/RecordDetails.h"
#include "recording/RecordingTransfer.h"
#include "recording/UserInterface.h"

#include "common/FileFingerprint.h"
#include "common/FileLock.h"
#include "recdb/DbCheck.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vmx {

class DbOperation;
class FileLock;

// Texts of loading a pane.
inline constexpr const char* kSameFileMessage = "Your loaded file is same!!";
inline constexpr const char* kOtherKindMessage = "Can't load deffertent DB file";

// Why a pane is loaded.
enum class LoadIntent {
    Look,    // the database's lock is held while it is read, then given up (the desktop program)
    Change,  // the lock stays held until the next operation on that side has ended, so that
             // nobody writes the database between the reading and the writing (velmorix-cli)
};

// The DB kind of a database file name: 0 when it begins with "DZT", else 1.
int DbKindOf(const std::string& fileName);

// True when a left and a right database file name may not stand side by side: a left name
// beginning with "DZT" needs a right name beginning with "DZT", one beginning with "DZR" a right
// one beginning with "DZR"; other names pass with anything.
bool BreaksKindRule(const std::string& leftName, const std::string& rightName);

// A pane's caption after a load: the database path, or its last 48 characters when it is longer.
std::string PaneCaption(const std::string& dbPath);

// A recording made outside the receiver (the demo disk, a benchmark's fixture) to register.
struct NewRecording {
    std::uint8_t marker = 0x05;  // byte 0 of the name
    std::string name;            // up to 15 bytes
    std::uint32_t startTime = 0;
    std::uint32_t duration = 0;
    std::uint16_t vid = 0;
    std::uint16_t aid = 0;
    std::uint16_t pid = 0;
};

// Writes the part files of a new recording into the pane's folder, their names beginning with
// `prefix` ("RF" and the record's slot), and gives their names in order. Empty, or the sentence
// saying what went wrong.
using WriteNewParts = std::function<std::string(const std::string& prefix, std::vector<std::string>& names)>;

struct LoadResult {
    bool ok = false;       // the database is loaded into the pane
    bool refused = false;  // the same-file or kind rule refused it (the pane is unchanged)
    PaneRefresh refresh;
};

struct OfferResult {
    // Created: an empty database was made and loaded into the target (the new-DB flag).
    enum class Outcome { NotNeeded, Declined, Created, Failed };
    Outcome outcome = Outcome::NotNeeded;
    std::string dbPath;  // Created: the new database
    PaneRefresh refresh;
};

struct RenameResult {
    bool ok = false;
    std::string name;  // the recording's new name for display
    PaneRefresh refresh;
};

struct CreateResult {
    bool ok = false;
    std::string dbPath;
};

struct SaveResult {
    bool ok = false;
    PaneRefresh refresh;
};

// What Undo, Redo and Empty undo did.
struct UndoResult {
    bool ok = false;
    std::string label;        // the operation taken back or done again ("delete of 'Sports HD'")
    std::uint64_t freed = 0;  // Empty undo: the bytes it freed
    PaneRefresh refresh;
};

struct RegisterResult {
    bool ok = false;
    unsigned id = 0;                     // the new recording's list id
    std::vector<std::string> partPaths;  // its part files
};

// The owner of both panes of the main view and of the record stores they hold: the database of
// each side (path, folder, file name, DB kind, loaded flag, record store, timing list) and the
// last loaded DB kind that the conversion reads. Both front ends (velmorix-cli and the desktop
// program's view) do every recording operation through it; its writePane() is the one place
// where a pane's database is written.
//
// Every operation takes the user-interface port and the side and rows it works on. It tells the
// user what went wrong (and the texts of the main view) through the port alone, never opens a
// dialog of its own, and returns what the front end must paint again.
//
// Threads. The database file cache that the reader and writer use is process-wide state of the
// recording database module; the session is its only user, and it is not thread-safe: it runs
// one call at a time.
//  - Operations (loadPane ... savePane below) may run on any one thread, also a worker thread of
//    the desktop program, while the user-interface thread only paints from copies it took before.
//    The port is an operation's only way out; the desktop program's port marshals each call to
//    the user-interface thread and waits for the answer. An operation started while another one
//    runs is refused with kBusyMessage through the port and changes nothing.
//  - Queries (pane, rows, details, lastLoadedDbKind, refusalToLoad) belong to the thread that
//    starts operations, between operations: the front end takes its copies when an operation has
//    ended (its result says what changed). Should rows or details be asked during an operation
//    they give nothing (no rows, no details), never a half-changed store; pane() and
//    refusalToLoad() are not to be called then.
//  - init and release run on the user-interface thread while no operation runs.
//  - The free functions of this header and of PlaybackParts.h are pure and may run anywhere.
//
// Other programs. Every operation that writes a pane's database, or reads the part files its
// records name (merge, the source of a copy), holds the lock of the database's folder (a FileLock
// on FolderLockPath, for this program and velmorix-cli alike) from its start to its end: the
// databases of one RECORD folder (DZT000.DB and DZR000.DB) share one space of part names, so a
// write to either keeps the other's writers out. Both panes in one folder share one lock. A
// second program waits a few seconds for it and then says who holds it. The lock is never held
// while the user is asked something: it is given up before a question or a chooser and taken
// again after it (and the databases checked again), and while the port's messages wait for the
// user (UserInterface::messagesWait) they are shown once the operation has given its locks up.
// Before it changes anything, and again before each write, an operation checks that the database
// is still the file the pane loaded (FileFingerprint: size, modification time, inode, a hash of
// its bytes). If another program has changed it, nothing is written, the user is told in one
// sentence, and the result's refresh.reloads asks the front end to load the pane again. With the
// lock held, an operation also puts the folder in order first (TidyFolder): it finishes the cuts
// that were interrupted, settles the part files of interrupted copies and deletions, and removes
// what interrupted writes left behind; loading does the same. A database reached through a
// symbolic link is refused. The module's diagnostic line (DBMLastTrace) is kept per thread, so an
// operation on the worker reads back its own messages.
//
// One session holds the file cache at a time (init refuses a second one).
class RecordingSession {
public:
    static constexpr const char* kBusyMessage =
        "Another operation is still running; wait until it has finished and try again.";

    RecordingSession();
    ~RecordingSession();  // releases the file cache if it still holds it
    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

    // --- On the user-interface thread, while no operation runs ---
    // Empties both panes and prepares the database file cache. Empty on success, else the sentence
    // saying why (no memory, or another session holds the cache).
    [[nodiscard]] std::string init();
    // Releases the file cache; the panes become empty. Nothing happens when this session does not
    // hold it (any more).
    void release();
    bool ready() const { return m_ready; }

    // --- Queries: on the thread that starts operations, between operations ---
    const LoadedPane& pane(int side) const;
    int lastLoadedDbKind() const { return m_lastLoadedDbKind; }
    // The rows of a loaded pane, one per listed id 1..count (empty when nothing is loaded).
    std::vector<RecordRow> rows(int side) const;
    // The details of the recording at `row`; nothing for a row the store cannot deliver.
    std::optional<RecordDetails> details(int side, int row) const;
    // Why loading `dbPath` into `side` would be refused ("Your loaded file is same!!" when it is
    // the other pane's file, by device and inode; "Can't load deffertent DB file" when the two
    // names break the kind rule); empty when it would not.
    std::string refusalToLoad(int side, const std::string& dbPath) const;

    // The check of a database file and its part files (velmorix-cli check): one line per problem
    // found, nothing when there is none. Like a load it first finishes an interrupted cut and
    // removes the leftovers of interrupted operations (under the database's lock, when it can be
    // had within `lockWait`); it changes nothing else. Touches no store; may run on any thread.
    // `notes`, when given, receives what the tidying did ("removed ..."), which is no problem.
    static std::vector<std::string> checkDatabase(const std::string& dbPath,
                                                  std::chrono::milliseconds lockWait = kLockWait,
                                                  std::vector<std::string>* notes = nullptr);

    // How long an operation waits for the lock of a database another program is changing.
    static constexpr std::chrono::milliseconds kLockWait{5000};
    void setLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

    // --- Operations: on any one thread (the desktop program's worker), one at a time ---
    // Loads a database into a pane (the L and R commands): the same-file and kind rules, the
    // reading, the timing list (each recording measured from its part files). A refused or failed
    // load leaves the pane and its records as they were.
    LoadResult loadPane(int side, const std::string& dbPath, UserInterface& ui, LoadIntent intent = LoadIntent::Look);
    // Builds the pane's timing list again from the store (L or R cancelled).
    PaneRefresh rebuildTiming(int side, UserInterface& ui);
    // Offers an empty database to an empty target pane before a transfer into it: asks, lets the
    // user name the file, writes the 6-byte empty database (never over an existing file), loads it.
    OfferResult offerNewDb(int targetSide, UserInterface& ui);
    // Creates the 6-byte empty database at `dbPath`; refuses an existing file. Loads nothing.
    CreateResult createDatabase(const std::string& dbPath, UserInterface& ui);
    // RE: gives the recording at `row` the name `text` (bytes 1..15, zero-padded; the marker byte
    // stays) and writes the pane's database. A database that cannot be written leaves the record
    // as it was. Does nothing on a pane without a database.
    RenameResult renameRow(int side, int row, const std::string& text, UserInterface& ui);
    // AL/AR: copies the recordings at `rows` of the source side into the other side's database.
    TransferResult transferRecordings(int sourceSide, const std::vector<int>& rows, UserInterface& ui);
    // ME: joins the recording's part files into one file in `outFolder` (asked when empty).
    MergeResult merge(int side, int row, const std::string& outFolder, UserInterface& ui);
    // PR: cuts the stretch between the marks (seconds) out of the recording, in place.
    CutResult cut(int side, int row, int markCount, double startMark, double endMark, UserInterface& ui);
    // PR with the cut list: every stretch of the request in one cut (see CutRecording).
    CutResult cut(int side, int row, const CutRequest& request, UserInterface& ui);
    // The Delete key on a record pane: the recordings at `rows` and their part files.
    DeleteResult deleteRows(int side, const std::vector<int>& rows, UserInterface& ui);

    // Deletions and cuts keep what they destroy for undo (see UndoStore); on by default.
    void setKeepUndo(bool keep) { m_keepUndo = keep; }
    bool keepsUndo() const { return m_keepUndo; }
    // Ctrl+Z: takes back the side's last kept deletion or cut (UndoLatest); the pane is to be
    // loaded again (refresh.reloads).
    UndoResult undo(int side, UserInterface& ui);
    // Ctrl+Shift+Z: does the first undone operation again, as it was done the first time (the
    // same rows, the same stretches), keeping it for undo again.
    UndoResult redo(int side, UserInterface& ui);
    // Empty undo: frees the side's undo folder.
    UndoResult emptyUndo(int side, UserInterface& ui);
    // What the side's undo folder offers (a query; reads the folder).
    UndoSummary undoSummary(int side) const;

    // The receiver disk: `root` when set (the command line's --receiver); else found anew on every
    // call: the disk a loaded database lies on, then the mounted volumes (so that a disk attached
    // later is found), then the folder the user chose before (setRememberedReceiver).
    void setReceiverRoot(const std::string& root) { m_receiverRoot = root; }
    void setRememberedReceiver(const std::string& root) { m_rememberedReceiver = root; }
    bool hasReceiverOverride() const { return !m_receiverRoot.empty(); }
    // The receiver's root, or empty with `error` saying why there is none.
    std::string receiverRoot(std::string& error) const;
    // The receiver's media files, as operations of this session.
    ReceiverMedia& media() { return m_media; }

    // Registers a recording made outside the receiver in the pane's store: allocates its record,
    // has `writeParts` write its part files under the record's prefix and lists it last. The
    // database is not written (savePane writes it).
    RegisterResult registerRecording(int side, const NewRecording& recording, const WriteNewParts& writeParts,
                                     UserInterface& ui);
    // Writes the pane's database as the store holds it.
    SaveResult savePane(int side, UserInterface& ui);

private:
    using CutOperation = std::function<CutResult(LoadedPane&, const WritePaneDb&, UserInterface&)>;
    using UndoOperation = std::function<void(LoadedPane&, UserInterface&, UndoResult&)>;
    // Undo, redo or emptying undo (`what` says which, for the message of a side without a
    // database) as one operation under the side's write lock.
    UndoResult runUndoOperation(int side, UserInterface& ui, const char* what, const UndoOperation& operation);
    // A cut of the recording at `row` under the pane's write lock, whichever way it is planned.
    CutResult runCut(int side, int row, UserInterface& callerUi, const CutOperation& operation);
    class PaneGuard;
    class LockAwareUi;

    // The gate of m_gate: runs `body` as one operation with the port it is to use.
    bool runOperation(UserInterface& ui, const OperationGate::Body& body);
    LoadedPane& paneOf(int side);
    // Both panes empty, without a database path.
    void forgetPanes();
    // The one write of a pane's database: writes the side's store into its database as one step of `operation` (which keeps the .BAK from before the operation). Empty, or the sentence
    // saying why nothing was written.
    [[nodiscard]] std::string writePane(int side, DbOperation& operation);
    // Reads `dbPath` into the side's store and, on success, makes it the pane's database and notes
    // its fingerprint; `content`, when given, receives what was read (the file is read once). A file
    // of `readBefore` (the folder's tidying read them) that is still as it was read is taken as read.
    [[nodiscard]] std::string readIntoPane(int side, const std::string& dbPath,
                                           std::vector<std::uint8_t>* content = nullptr,
                                           const std::vector<DbFileRead>* readBefore = nullptr);
    // Takes the lock of the folder of `dbPath` for `side` (kept in m_locks; shared with the other
    // side when it holds the same folder's) and tidies the folder, telling the user what was found.
    // 0 or the errno value of FileLock::acquire; EWOULDBLOCK was said, any other failure is
    // described in `problem`. `reads` receives the database files the tidying read (see TidyReport).
    int lockAndTidy(int side, const std::string& dbPath, UserInterface& ui, std::string* problem = nullptr,
                    std::vector<DbFileRead>* reads = nullptr);
    // Gives up the side's lock (the folder's lock goes when neither side holds it).
    void unlock(int side);
    bool holdsALock() const;
    bool busy() const { return m_busy.load(); }

    bool m_ready = false;
    bool m_keepUndo = true;
    std::array<LoadedPane, 2> m_panes;
    int m_lastLoadedDbKind = 0;
    std::string m_receiverRoot;
    std::string m_rememberedReceiver;
    std::atomic<bool> m_busy{false};
    std::array<std::shared_ptr<FileLock>, 2> m_locks;  // the lock of each side's folder, while held
    std::array<std::string, 2> m_lockedFor;  // the database each side took its lock for
    bool m_lockLost = false;  // the running operation could not take its locks again after a question
    std::array<FileFingerprint, 2> m_loadedAs;  // each side's database as it was loaded or last written
    std::chrono::milliseconds m_lockWait = kLockWait;
    PaneRefresh* m_refresh = nullptr;  // the running operation's refresh, for writePane
    OperationGate m_gate{
        [this](UserInterface& ui, const OperationGate::Body& body) { return runOperation(ui, body); }};
    ReceiverMedia m_media{m_gate, [this](std::string& error) { return receiverRoot(error); }};
};

}  // namespace vmx
