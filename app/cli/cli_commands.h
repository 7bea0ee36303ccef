#pragma once

// The commands of tavelo-cli, callable from tests.

#include "app/cli/section_checks.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

inline constexpr int kCliOk = 0;
inline constexpr int kCliUsage = 1;
inline constexpr int kCliRefused = 2;
inline constexpr int kCliEndedByModel = 3;
inline constexpr int kCliOutputFailed = 4; // an output could not be written

// Inside a catch block: tells the failure on `err` and gives the exit status,
// 4 for an output that could not be written, 1 for anything else (an
// inventory that cannot be read, a database refused).
int reportFailure(std::ostream &err);

// Writes "tavelo-cli: why" (when there is a why) and the usage; gives the usage status.
int cliUsageError(std::ostream &err, const std::string &why);

// --db's file, for batch, optimize and plan, checked before any work: named
// as a database, and when it exists holding no table, view or index of the
// results' names that is not theirs. The status to exit with (the reason
// said on `err`, the file untouched) when it cannot take the results.
std::optional<int> refusedResultsDatabase(const std::string &path, std::ostream &err);

// "note: ..." on `err` for each warning about an inventory.
struct InventoryWarning;
void printInventoryWarnings(std::ostream &err, const std::vector<InventoryWarning> &warnings);

// --max-regimes N of optimize and plan: how many regimes a search space may
// hold; the usage status (said on `err`) when `text` is not such a number.
std::optional<int> readMaxRegimes(const std::string &text, double &maxRegimes, std::ostream &err);

// --jobs N of batch, optimize and plan: how many threads; the usage status
// (said on `err`) when `text` is not a whole number from 1 to 1024.
std::optional<int> readJobs(const std::string &text, unsigned &jobs, std::ostream &err);

// An input file's bytes into `out`; false when it cannot be read to its end.
bool readInputFile(const std::string &path, std::string &out);

// Writes an output whole or not at all; says what and why on `err` when it fails.
bool writeOutputFile(const std::filesystem::path &path, std::string_view bytes, std::ostream &err);

// The commands, each with the arguments after its name; what they take is
// told once, by cliUsage(). Each gives the exit status.
int cliRun(const std::vector<std::string> &args, std::ostream &err);
int cliBatch(const std::vector<std::string> &args, std::ostream &err, bool progressBar);
int cliMerge(const std::vector<std::string> &args, std::ostream &err);
// Needs a QApplication for its chart.
int cliCompare(const std::vector<std::string> &args, std::ostream &err);
int cliOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar);
// batch with --optimize: every stand's best regime.
int cliBatchOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar);
// Needs a QApplication for its chart.
int cliPlan(const std::vector<std::string> &args, std::ostream &err, bool progressBar);

std::string cliUsage();

// A progress bar for a terminal, redrawn on `err` only when the share done
// changes; it shows "done/total" or the percentage. Calls must not overlap.
enum class ProgressText { Count, Percent };
std::function<void(size_t done, size_t total)> terminalProgressBar(std::ostream &err, ProgressText text);
// Whether the arguments ask for the usage ("--help", "-h" or "help").
bool cliWantsHelp(const std::string &command);

} // namespace tavelo
