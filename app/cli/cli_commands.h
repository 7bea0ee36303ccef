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

// An input file's bytes into `out`; false when it cannot be read to its end.
bool readInputFile(const std::string &path, std::string &out);

// Writes an output whole or not at all; says what and why on `err` when it fails.
bool writeOutputFile(const std::filesystem::path &path, std::string_view bytes, std::ostream &err);

// run SCENARIO.json --log LOG.txt [--record RECORD.csv] [--economics OUT.json] [--carbon OUT.json]
// [--steps OUT.json] [--events OUT.csv]: 0 done, 1 usage or
// scenario error, 2 entry refused, 3 ended by the model, 4 an output could not
// be written (what and why on `err`).
int cliRun(const std::vector<std::string> &args, std::ostream &err);
// batch STANDS.csv|STANDS.sqlite|.db|.gpkg [--table NAME] --regime REGIME.json (--out DIR | --db RESULTS)
//       [--jobs N] [--overwrite] [--resume] [--shard K/N]
int cliBatch(const std::vector<std::string> &args, std::ostream &err, bool progressBar);
// merge TARGET SHARD... : the shard runs of several databases as one run.
int cliMerge(const std::vector<std::string> &args, std::ostream &err);
// compare A.json B.json [...] --chart OUT.png|OUT.svg [--csv OUT.csv] (needs a QApplication):
// 2 when a regime was refused, 3 when the model ended one (the others are still
// drawn), 4 when an output could not be written.
int cliCompare(const std::vector<std::string> &args, std::ostream &err);

// optimize STAND.json --space SPACE.json --objective npv|lev|volume|sawlog --out DIR
// [--top N] [--jobs N] [--overwrite]: 0 done, 1 usage, 2 refused, 3 no regime stays inside
// the model, 4 a result cannot be written.
int cliOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar);

// batch STANDS.csv --regime REGIME.json --out DIR --optimize SPACE.json --objective
// npv|lev|volume|sawlog [--jobs N] [--overwrite]: every stand's best regime into best.csv.
int cliBatchOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar);

// plan INVENTORY (--space SPACE.json | --regimes R.json...) --economics ECON.json --horizon YEARS
// [--flow even:PCT|nondecreasing] [--flow-on total|sawlog] [--ending-stock PCT] [--gap PCT]
// [--out DIR] [--db RESULTS] [--jobs N] [--chart png|svg] (needs a QApplication): one regime
// per stand; 3 when the constraints cannot be met, 4 when an output cannot be written.
int cliPlan(const std::vector<std::string> &args, std::ostream &err, bool progressBar);

std::string cliUsage();

// A progress bar for a terminal, redrawn on `err` only when the share done
// changes; it shows "done/total" or the percentage. Calls must not overlap.
enum class ProgressText { Count, Percent };
std::function<void(size_t done, size_t total)> terminalProgressBar(std::ostream &err, ProgressText text);
// Whether the arguments ask for the usage ("--help", "-h" or "help").
bool cliWantsHelp(const std::string &command);

} // namespace tavelo
