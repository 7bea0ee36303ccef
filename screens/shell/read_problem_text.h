#pragma once

// What a reader found wrong in a file, as the windows say it: in Portuguese,
// whatever the desktop's language. Key paths, column names and the values
// quoted stay as the file has them.

#include "base/read_problem.h"

#include <string>

namespace tavelo {

std::string portugueseText(const ReadProblem &problem);

} // namespace tavelo
