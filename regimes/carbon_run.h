#pragma once

// The "carbon" section of a scenario or regime file (texts as typed), and the
// accounts' CSV lines of a batch run.

#include "base/read_problem.h"
#include "model/stand_state.h"
#include "session/results/carbon.h"

#include <string>
#include <variant>

class QJsonValue;

namespace tavelo {

// {"basicDensity": …, "expansionFactor": …, "rootToShoot": …, "carbonFraction": …,
//  "halfLives": {"sawlog": …, "roundwood": …}}; on a wrong shape (unknown key,
// a number instead of a text) says what and where. Keys left out read as
// empty texts, which take the defaults.
std::variant<CarbonTexts, ReadProblem> parseCarbonSection(const QJsonValue &section);

// A line of carbon.csv, for a stand simulated to its end (the header is the
// results table's, inventory/results_tables.h).
std::string carbonCsvLine(const std::string &id, const CarbonAccount &account);

} // namespace tavelo
