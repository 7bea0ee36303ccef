// The plumbing every command of tavelo-cli shares: the usage, reading its
// inputs and writing its outputs, the progress bar, and the options several
// commands take alike.

#include "app/cli/cli_commands.h"

#include "inventory/batch.h"
#include "inventory/results_db.h"
#include "base/whole_file.h"

#include <cstdlib>
#include <ostream>
#include <string>

namespace tavelo {

int cliUsageError(std::ostream &err, const std::string &why)
{
    if (!why.empty())
        err << "tavelo-cli: " << why << "\n";
    err << cliUsage();
    return kCliUsage;
}

std::optional<int> refusedResultsDatabase(const std::string &path, std::ostream &err)
{
    if (!isDatabaseFile(path))
        return cliUsageError(err, "--db must name a .sqlite, .db or .gpkg file");
    try {
        ResultsDb::checkExisting(path);
    } catch (const std::exception &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliUsage;
    }
    return std::nullopt;
}

void printInventoryWarnings(std::ostream &err, const std::vector<InventoryWarning> &warnings)
{
    for (const InventoryWarning &w : warnings) {
        switch (w.kind) {
        case InventoryWarning::Kind::UnreadableReferenceSystem:
            err << "note: " << w.file.string()
                << ": GDAL cannot read this reference system; the stands are read without one";
            break;
        }
        if (!w.detail.empty())
            err << " (" << w.detail << ")";
        err << "\n";
    }
}

std::optional<int> readMaxRegimes(const std::string &text, double &maxRegimes, std::ostream &err)
{
    // Beyond this a limit would only mean "for ever".
    constexpr unsigned long long kLargestMaxRegimes = 1000000000000ULL;
    char *end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || v == 0 || v > kLargestMaxRegimes)
        return cliUsageError(err, "--max-regimes must be a whole number from 1 to " +
                                      std::to_string(kLargestMaxRegimes));
    maxRegimes = static_cast<double>(v);
    return std::nullopt;
}

bool readInputFile(const std::string &path, std::string &out)
{
    std::optional<std::string> bytes = readWholeFile(path);
    if (bytes)
        out = std::move(*bytes);
    return bytes.has_value();
}

bool writeOutputFile(const std::filesystem::path &path, std::string_view bytes, std::ostream &err)
{
    if (auto why = writeWholeFile(path, bytes)) {
        err << "tavelo-cli: cannot write " << path.string() << ": " << *why << "\n";
        return false;
    }
    return true;
}

std::optional<int> readJobs(const std::string &text, unsigned &jobs, std::ostream &err)
{
    char *end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || v == 0 || v > 1024)
        return cliUsageError(err, "--jobs must be a whole number from 1 to 1024");
    jobs = static_cast<unsigned>(v);
    return std::nullopt;
}

std::function<void(size_t, size_t)> terminalProgressBar(std::ostream &err, ProgressText text)
{
    return [&err, text, last = -1](size_t done, size_t total) mutable {
        const int width = 40;
        const int filled = total ? static_cast<int>(width * done / total) : width;
        const int percent = total ? static_cast<int>(100 * done / total) : 100;
        if (percent == last && done != total)
            return;
        last = percent;
        err << "\r[" << std::string(filled, '#') << std::string(width - filled, '.') << "] ";
        if (text == ProgressText::Count)
            err << done << "/" << total;
        else
            err << percent << " %";
        err << std::flush;
    };
}

std::string cliUsage()
{
    return "usage: tavelo-cli run SCENARIO.json --log LOG.txt [--record RECORD.csv] [--economics OUT.json]\n"
           "                  [--carbon OUT.json] [--steps OUT.json] [--events OUT.csv]\n"
           "       tavelo-cli batch STANDS.csv|.gpkg|.shp|.geojson|.fgb|.sqlite|... [--layer NAME] --regime REGIME.json\n"
           "                  (--out DIR [--overwrite] | --db RESULTS.sqlite|.db|.gpkg [--resume])\n"
           "                  [--jobs N] [--shard K/N]\n"
           "       tavelo-cli batch STANDS.csv --regime REGIME.json --out DIR [--jobs N] [--overwrite]\n"
           "                  --optimize SPACE.json --objective npv|lev|volume|sawlog|carbon [--db RESULTS]\n"
           "                  [--max-regimes N]\n"
           "       tavelo-cli merge TARGET.sqlite|.db|.gpkg SHARD...\n"
           "       tavelo-cli compare A.json B.json [...] --chart OUT.png|OUT.svg [--csv OUT.csv]\n"
           "       tavelo-cli optimize STAND.json --space SPACE.json --objective npv|lev|volume|sawlog|carbon --out DIR\n"
           "                  [--top N] [--jobs N] [--overwrite] [--max-regimes N]\n"
           "       tavelo-cli plan STANDS.csv|.sqlite|.db|.gpkg (--space SPACE.json | --regimes R.json...)\n"
           "                  --economics ECON.json --horizon YEARS [--flow even:PCT | nondecreasing]\n"
           "                  [--flow-on total|sawlog] [--ending-stock PCT] [--gap PCT] [--time-limit SECONDS]\n"
           "                  [--chart png|svg] [--max-regimes N] [--write-model FILE.mps|FILE.lp]\n"
           "                  [--min-carbon T] [--objective npv|carbon] [--front carbon:N]\n"
           "                  (--out DIR [--overwrite] | --db RESULTS) [--jobs N] [--layer NAME] [--max-memory GB]\n"
           "                  [--green-up YEARS [--max-opening HA] [--adjacency hard|soft:EUR]\n"
           "                  [--min-shared-boundary METRES]]\n"
           "       tavelo-cli plan STANDS... (--space SPACE.json | --regimes R.json...) --economics ECON.json\n"
           "                  --horizon YEARS --candidates-only --db SHARD.sqlite [--shard K/N] [--resume]\n"
           "                  [--jobs N] [--layer NAME] [--max-regimes N]\n"
           "       tavelo-cli plan --candidates GATHERED.sqlite [--flow ...] [--flow-on ...] [--ending-stock PCT]\n"
           "                  [--gap PCT] [--time-limit SECONDS] [--chart png|svg] [--write-model FILE]\n"
           "                  [--min-carbon T] [--objective npv|carbon] [--front carbon:N]\n"
           "                  [--green-up YEARS [--max-opening HA] [--adjacency hard|soft:EUR]\n"
           "                  [--min-shared-boundary METRES]]\n"
           "                  (--out DIR [--overwrite] | --db RESULTS) [--max-memory GB]\n"
           "       tavelo-cli --help\n"
           "exit status: 0 done, 1 usage or input error, 2 an entry refused, 3 ended by the model,\n"
           "             4 an output could not be written, 130 stopped by SIGINT or SIGTERM\n";
}

bool cliWantsHelp(const std::string &command)
{
    return command == "--help" || command == "-h" || command == "help";
}
int reportFailure(std::ostream &err)
{
    try {
        throw;
    } catch (const BatchOutputError &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliOutputFailed;
    } catch (const std::exception &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliUsage;
    }
}

} // namespace tavelo
