#pragma once

#include "session/entry/screen_entries.h"
#include "model/stand_state.h"
#include "session/structure/stand_table.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

// Items written in print zones of 14 characters: each item after the first
// starts at the next zone boundary past the text so far, so there is always at
// least one blank between items.
std::string zoneLine(const std::vector<std::string> &items);
// A grid row as a log line: headers left-aligned in 17, values right-aligned in
// 6 followed by 11 blanks (longer values push the rest of the line right).
std::string tableLine(const TableRow &row, bool header);

// The lines (UTF-8, without line ends) of the block that each stand screen
// appends for the state it shows.
std::vector<std::string> standLogBlock(const StandTable &table, const StandState &state, const ScreenEntries &entries);
std::vector<std::string> thinnedStandLogBlock(const StandTable &table);

// The simulation log file: opened for one block, appended and closed again.
// Lines are stored as Windows-1252 bytes, each followed by CR LF.
class LogFile {
public:
    LogFile() = default;
    explicit LogFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path &path() const { return path_; }
    void setPath(std::filesystem::path p) { path_ = std::move(p); }

    // Collects the bytes in `memory` instead of the file (a batch run writes
    // each stand's log in one go); nullptr writes to the file again.
    void collectInto(std::string *memory) { memory_ = memory; }
    // Keeps no log at all (a batch run into a database alone): the blocks are
    // not even put together.
    void discard() { discard_ = true; }
    bool discards() const { return discard_; }
    // The first block replaces whatever file has the name (written whole, so
    // a failed first block keeps the old file); later blocks are appended. A
    // run that never writes a block leaves an existing file alone.
    void replaceOnFirstBlock() { replacePending_ = true; }
    // After a block that could not be written no later block is written
    // either, so that the file never has a hole in the middle: it holds the
    // run's blocks up to the first failure.
    void stopAfterFailure() { stopAfterFailure_ = true; }
    // Where the reason of the first block that could not be written goes.
    void reportFailureTo(std::string *why) { failure_ = why; }

    // False when the block could not be written (the simulation goes on). A
    // block is written whole or not at all: a failed append leaves the file as
    // it was before it.
    bool append(const std::vector<std::string> &lines) const;
    // The file's lines, without line ends, decoded to UTF-8; nothing when it cannot be read.
    std::optional<std::vector<std::string>> readLines() const;

private:
    std::filesystem::path path_;
    std::string *memory_ = nullptr;
    bool discard_ = false;
    std::string *failure_ = nullptr;
    mutable bool replacePending_ = false;
    bool stopAfterFailure_ = false;
    mutable bool failed_ = false;
};

// Splits bytes into lines the way a line reader does: CR LF, LF or CR end a
// line; a last line without an end is still a line.
std::vector<std::string> splitLines(const std::string &bytes);

} // namespace tavelo
