#pragma once

// The schedules a search for the best regime may choose from: the rotation
// ages, how many thinnings, how far apart, from which age, and the
// intensities offered for each kind of thinning. Texts are kept as typed, so
// that a regime found is written back exactly as a user would type it.

#include "base/read_problem.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

struct SearchSpace {
    double rotationFrom = 0.0;
    double rotationTo = 0.0;
    int maxThinnings = 0;
    double minInterval = 5.0;
    std::optional<double> firstAge; // no thinning before this age
    std::vector<std::string> mechanical; // % of trees removed, as typed
    std::vector<std::string> below;      // residual basal area (m2/ha), as typed
};

// The keys of a search space that hold a value the user gives.
enum class SearchSpaceKey { RotationFrom, RotationTo, MaxThinnings, MinInterval, FirstAge, Mechanical, Below };

// Why a search space file cannot be used: a file that is not the expected
// JSON, or a value that the program refuses (`problem.refusedValue`), with
// the key it belongs to and, in a list, the item's place.
struct SearchSpaceError {
    ReadProblem problem;
    std::optional<SearchSpaceKey> key; // none for the file as a whole
    std::optional<size_t> item;
};

std::variant<SearchSpace, SearchSpaceError> parseSearchSpace(const std::string &json);

// The stand screens at which a regime can end: ages t0 + 5k within the
// rotation range, each end of the range rounded up to the next screen.
struct RotationAges {
    double first = 0.0;
    double last = 0.0;
    bool empty() const { return last < first; }
};
RotationAges rotationAges(const SearchSpace &space, double initialAge);

} // namespace tavelo
