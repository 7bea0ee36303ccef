#pragma once

// What a batch run keeps of each stand, and where it goes: files (logs,
// record.csv, errors.csv) or a results database.

#include "inventory/inventory_source.h"
#include "model/stand_state.h"
#include "regimes/management_rules.h"

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavelo {

// An output of a batch (record.csv, errors.csv, the results database) could
// not be written; what a database had committed before stays.
class BatchOutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct StandOutcome {
    enum class Kind { Done, Refused, Ended, Malformed };
    struct Error {
        std::string status; // "refused", "ended", "malformed", "log-failed"
        std::string title;
        std::string text;
        std::optional<ReadProblem> problem = std::nullopt; // a malformed row: what was read wrong, `text` its English
    };

    size_t position = 0; // counted from 0 in inventory order
    size_t line = 0;     // the inventory's line or row
    std::string id;      // the id cell as read
    Kind kind = Kind::Done;
    // The record's rows as the summary shows them, ten texts each.
    std::vector<std::array<std::string, kRecordColumns>> record;
    std::vector<Error> errors;
    // The value of a stand simulated to its end, when the regime has prices
    // and costs: the money as shown (an empty text for none) and its line of
    // economics.csv.
    struct Economics {
        std::string npv;
        std::string eaa;
        std::string lev;
        std::string csvLine;
    };
    std::optional<Economics> economics;
    StandGeometry geometry; // the stand's outline, when the inventory has one
    std::string log;        // the stand's log, when the run keeps them
    // Its carbon account (t C/ha as shown) when the regime has a carbon
    // section, and its line of carbon.csv.
    struct Carbon {
        std::string start;
        std::string end;
        std::string balance;
        std::string meanStock;
        std::string csvLine;
    };
    std::optional<Carbon> carbon;
    // Under management rules, what they decided on the way.
    std::vector<ManagementEvent> events;
    bool logFailed = false;  // simulated, but its log could not be written
    std::string logFailure;  // the log's path and why
};

// Receives every stand once, in inventory order, from one thread, a few
// whole stands at a time.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    virtual void add(const std::vector<StandOutcome> &stands) = 0;
    // No more stands: make the output final. `complete` is false when the run
    // was stopped before the end of the inventory.
    virtual void finish(bool complete) = 0;
};

const char *standStatusName(StandOutcome::Kind kind);

} // namespace tavelo
