#pragma once

// The commands of tavelo-cli, callable from tests.

#include <iosfwd>
#include <string>
#include <vector>

namespace tavelo {

inline constexpr int kCliOk = 0;
inline constexpr int kCliUsage = 1;
inline constexpr int kCliCannotWriteOutput = 4;

// run SCENARIO.json --log LOG.txt [--record RECORD.csv]: 0 done, 1 usage or
// scenario error, 2 entry refused, 3 ended by the model.
int cliRun(const std::vector<std::string> &args, std::ostream &err);
// batch STANDS.csv --regime REGIME.json --out DIR [--jobs N]
int cliBatch(const std::vector<std::string> &args, std::ostream &err, bool progressBar);
// compare A.json B.json [...] --chart OUT.png|OUT.svg [--csv OUT.csv] (needs a QApplication)
int cliCompare(const std::vector<std::string> &args, std::ostream &err);

// optimize STAND.json --space SPACE.json --objective npv|lev|volume|sawlog --out DIR
// [--top N] [--jobs N]: 0 done, 1 usage, 2 refused, 3 no regime stays inside
// the model, 4 a result cannot be written.
int cliOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar);

// batch STANDS.csv --regime REGIME.json --out DIR --optimize SPACE.json --objective
// npv|lev|volume|sawlog [--jobs N]: every stand's best regime into best.csv.
int cliBatchOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar);

std::string cliUsage();

} // namespace tavelo
