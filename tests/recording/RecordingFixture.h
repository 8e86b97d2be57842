#pragma once

#include "FakeUi.h"
#include "recording/RecordingSession.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vmxtest {

// A test that works through a recording session (set up, with both panes empty) and a scripted
// user.
class SessionTest : public ::testing::Test {
protected:
    SessionTest() { EXPECT_EQ(session.init(), ""); }

    vmx::RecordingSession session;
    FakeUi ui;
};

// Creates an empty database `name` in `folder` and loads it into `side` of the session.
const vmx::LoadedPane& makeDb(vmx::RecordingSession& session, int side, const std::string& folder,
                              const std::string& name = "DZT000.DB");

// Loads the pane's database again, as a pane that has just loaded it holds it.
const vmx::LoadedPane& reload(vmx::RecordingSession& session, int side);

// Adds a recording of `duration` seconds whose part files have the given sizes to the pane. Parts
// up to `fillLimit` bytes are filled with a pattern that differs per part and offset; larger parts
// are sparse (zeros) so that full 128 MiB parts cost nothing. Part names are the record's prefix
// followed by AA, AB, ... The database is written and loaded again (its recordings measured).
void addRecording(vmx::RecordingSession& session, const vmx::LoadedPane& pane, const std::string& name,
                  std::uint32_t duration, const std::vector<std::uint64_t>& partSizes,
                  std::uint64_t fillLimit = 1 << 20);

// The record at `row` of the pane's side.
AVMRec recordAt(const vmx::LoadedPane& pane, int row);

// Puts `record` at `row` of the pane's side, as a damaged database would hold it, and measures
// the pane again.
void replaceRecord(vmx::RecordingSession& session, const vmx::LoadedPane& pane, int row, const AVMRec& record);

// The part file names of a record.
std::vector<std::string> partNames(const AVMRec& record);

// The temporary file a program killed while writing `target` (through vmx::PendingFile) leaves
// beside it; its path.
std::string abandonedTemporaryFor(const std::string& target);

// The pattern byte addRecording puts at `offset` of part `part`.
std::uint8_t patternByte(int part, std::uint64_t offset);

}  // namespace vmxtest
