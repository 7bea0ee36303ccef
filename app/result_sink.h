#pragma once

// What a batch run keeps of each stand, and where it goes: files (logs,
// record.csv, errors.csv) or a results database.

#include "model/stand_state.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace tavelo {

struct StandResult {
    enum class Kind { Done, Refused, Ended, Malformed };
    struct Error {
        std::string status; // "refused", "ended", "malformed", "log-failed"
        std::string title;
        std::string text;
    };

    size_t position = 0; // counted from 0 in inventory order
    size_t line = 0;     // the inventory's line or row
    std::string id;      // the id cell as read
    Kind kind = Kind::Done;
    // The record's rows as the summary shows them, ten texts each.
    std::vector<std::array<std::string, kRecordColumns>> record;
    std::vector<Error> errors;
};

// Receives every stand once, in inventory order, from one thread, a few
// whole stands at a time.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void add(const std::vector<StandResult> &stands) = 0;
    // The run is complete: make the output final.
    virtual void finish() = 0;
};

const char *standStatusName(StandResult::Kind kind);

} // namespace tavelo
