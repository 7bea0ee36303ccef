#pragma once

// File extensions, column and table names compared without regard to case,
// in ASCII only: the C locale's rule, whatever the user's locale.

#include <algorithm>
#include <string>

namespace tavelo {

inline std::string asciiLowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c); });
    return s;
}

} // namespace tavelo
