#pragma once

#include <string>

namespace tavelo {

// This year as the options screen shows it and as a scenario without a year
// takes it: "2026".
std::string thisYear();

} // namespace tavelo
