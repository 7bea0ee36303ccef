#pragma once

// The valuation of a batch run: a run refused for its economics section, and
// the valuations' CSV lines.

#include "regimes/scenario.h"
#include "session/results/economics.h"

#include <string>

namespace tavelo {

// A run refused for its economics section (already reported), before anything ran.
RunResult refusedByEconomics();

// A line of economics.csv, for a valued stand (the header is the results
// table's, inventory/results_tables.h).
std::string economicsCsvLine(const std::string &id, const Valuation &valuation);

} // namespace tavelo
