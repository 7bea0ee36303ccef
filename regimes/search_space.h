#pragma once

// The schedules a search for the best regime may choose from: the rotation
// ages, how many thinnings, how far apart, from which age, and the
// intensities offered for each kind of thinning. Texts are kept as typed, so
// that a regime found is written back exactly as a user would type it.

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

// Why a search space file cannot be used: a file that is not the expected
// JSON (`badValue` false) or a value that the program refuses (`badValue`
// true), with its key path.
struct SearchSpaceError {
    std::string what;
    bool badValue = false;
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
