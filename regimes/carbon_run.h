#pragma once

// The carbon account on the command line: the "carbon" section of a scenario
// or regime file (texts as typed), checked before a run, and the account
// written after it.

#include "model/stand_state.h"
#include "session/results/carbon.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>

class QJsonValue;

namespace tavelo {

// {"basicDensity": …, "expansionFactor": …, "rootToShoot": …, "carbonFraction": …,
//  "halfLives": {"sawlog": …, "roundwood": …}}; on a wrong shape (unknown key,
// a number instead of a text) says what and where. Keys left out read as
// empty texts, which take the defaults.
std::variant<CarbonTexts, std::string> parseCarbonSection(const QJsonValue &section);

struct CheckedCarbon {
    bool accepted = true;
    std::optional<CarbonFactors> factors; // none when the file has no carbon section
};
// Reads the section of `file`; a bad value is reported with its key path.
CheckedCarbon checkCarbon(const std::optional<CarbonTexts> &texts, const std::string &file, std::ostream &err);

// Writes the simulation's account as JSON; false (reported) when it cannot.
bool writeCarbonJson(const std::string &path, const StandState &state, const CarbonFactors &factors,
                     std::ostream &err);

// "id,start,end,balance,meanStock" and one line per stand simulated to its end.
inline constexpr const char *kCarbonCsvHeader = "id,start,end,balance,meanStock\n";
std::string carbonCsvLine(const std::string &id, const CarbonAccount &account);

} // namespace tavelo
