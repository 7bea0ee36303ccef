#pragma once

// A regime read before its first stand, as `tavelo-cli batch` reads it: each
// thinning step's intensity as the thinning screen checks it, then the values
// of its economics and carbon sections. What is wrong names the regime's key.

#include "regimes/scenario.h"

#include <optional>
#include <string>

namespace tavelo {

struct RegimeProblem {
    std::string keyPath; // "steps[1].percent", "economics.prices.sawlog"
    std::string text;    // why, in Portuguese
};

// The first value of `regime` that no stand could take, or nothing.
std::optional<RegimeProblem> regimeProblem(const Regime &regime);

} // namespace tavelo
