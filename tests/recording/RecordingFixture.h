#pragma once

#include "recording/PaneLoad.h"
#include "support/TempDir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vmxtest {

// Makes sure the record store and the file cache exist.
void initStore();

// Creates an empty database `name` in `folder` and loads it into `side`.
vmx::LoadedPane makeDb(int side, const std::string& folder, const std::string& name = "DZT000.DB");

// Adds a recording of `duration` seconds whose part files have the given sizes. Parts up to
// `fillLimit` bytes are filled with a pattern that differs per part and offset; larger parts are
// sparse (zeros) so that full 128 MiB parts cost nothing. Part names are the record's prefix
// followed by AA, AB, ... The database is written and the pane's timing list rebuilt.
void addRecording(vmx::LoadedPane& pane, const std::string& name, std::uint32_t duration,
                  const std::vector<std::uint64_t>& partSizes, std::uint64_t fillLimit = 1 << 20);

// The record at `row` of the pane's side.
AVMRec recordAt(const vmx::LoadedPane& pane, int row);

// The part file names of a record.
std::vector<std::string> partNames(const AVMRec& record);

// The pattern byte addRecording puts at `offset` of part `part`.
std::uint8_t patternByte(int part, std::uint64_t offset);

}  // namespace vmxtest
