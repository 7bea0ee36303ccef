#pragma once

// The "economics" section of a scenario or regime file: prices, costs and the
// discount rate as texts typed, read later with the same rule as the window.

#include "base/read_problem.h"
#include "session/results/economics.h"

#include <string>
#include <variant>

class QJsonValue;

namespace tavelo {

// {"prices": {...}, "costs": {...}, "discountRate": "3"}; on a wrong shape
// (unknown key, a number instead of a text) says what and where. Keys left out
// read as empty texts.
std::variant<EconomicTexts, ReadProblem> parseEconomicsSection(const QJsonValue &section);

} // namespace tavelo
