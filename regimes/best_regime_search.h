#pragma once

// The search for the best regime as the valuation window offers it: the
// search space typed in a small form, the stand as its screens accepted it,
// the table of the best regimes and the scenario file of a chosen one. No
// widgets: the window only shows what these give.

#include "regimes/optimizer.h"
#include "regimes/scenario.h"
#include "regimes/search_space.h"
#include "base/message.h"
#include "session/results/economics.h"
#include "session/structure/simulation_flow.h"

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// The form's boxes, in its order; the lists hold texts separated by commas or spaces.
enum class SearchField { RotationFrom, RotationTo, MaxThinnings, MinInterval, FirstAge, Mechanical, Below };
constexpr size_t kSearchFieldCount = 7;

struct SearchFieldInfo {
    SearchField field;
    const char *label; // the form's Portuguese label
    const char *name;  // the box's objectName
};
extern const std::array<SearchFieldInfo, kSearchFieldCount> kSearchFields;

struct SearchSpaceTexts {
    std::array<std::string, kSearchFieldCount> values{};
    std::string &operator[](SearchField f) { return values[static_cast<size_t>(f)]; }
    const std::string &operator[](SearchField f) const { return values[static_cast<size_t>(f)]; }
};

// A box that cannot be used: its box to show and where to put the cursor.
struct SearchSpaceRefusal {
    SearchField field;
    Message message;
};

// "14, 16 18" -> {"14", "16", "18"}: the texts as typed, empty pieces dropped.
std::vector<std::string> splitTypedList(const std::string &text);

// Reads the form with the same rules as a search space file; an empty interval
// or first age takes the file's default.
std::variant<SearchSpace, SearchSpaceRefusal> readSearchSpace(const SearchSpaceTexts &texts);

// The objectives in the order the form offers them ("VAL", "VES", "Volume", "Madeira").
struct ObjectiveChoice {
    Objective objective;
    const char *label;
};
extern const std::array<ObjectiveChoice, 4> kObjectiveChoices;
bool objectiveNeedsPrices(Objective objective);

// The stand as entered, ready for the optimizer and for a scenario file: the
// options, stand and density as typed, with the valuation's prices and costs
// when given. Nothing when the stand has not been entered.
struct SearchStand {
    Scenario scenario; // without steps
    std::string json;  // the same as a stand file
    std::string year;
};
std::optional<SearchStand> searchStandOf(const EnteredStand &entered, const std::optional<EconomicTexts> &economics);

// The table of the best regimes: "N.º", "Valor", "VAL", "VAE", "VES",
// "Volume", "Madeira", "Rotação", "Regime".
extern const std::array<const char *, 9> kRankingHeaders;
std::vector<std::array<std::string, 9>> rankingTable(const std::vector<RankedRegime> &best);

// What the search ended with: a box when there is nothing to show, and the
// line below the table ("1234 regimes avaliados: 1200 viáveis, …").
struct SearchOutcome {
    std::optional<Message> message;
    std::string summary;
};
SearchOutcome searchOutcome(const OptimizeResult &result);

// The scenario file of one ranked regime, for `run` or a later simulation.
std::string rankedRegimeJson(const SearchStand &stand, const RankedRegime &regime);

extern const char *const kSearchTitle; // "Procurar o Melhor Regime"

} // namespace tavelo
