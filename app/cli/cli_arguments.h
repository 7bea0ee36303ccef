#pragma once

// Checks shared by the commands of tavelo-cli before they read their
// arguments one by one: an option given twice would silently take its last
// value, and an empty value ("--economics """) would silently mean none.

#include "base/shown_text.h"

#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

// Why `args` cannot be read, or empty. `withValue` names the options followed
// by a value, `flags` those that stand alone; anything else is left to the
// command.
inline std::string repeatedOrEmptyOption(const std::vector<std::string> &args,
                                         std::initializer_list<std::string_view> withValue,
                                         std::initializer_list<std::string_view> flags)
{
    std::set<std::string> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool valued = std::find(withValue.begin(), withValue.end(), a) != withValue.end();
        const bool flag = std::find(flags.begin(), flags.end(), a) != flags.end();
        if (!valued && !flag)
            continue;
        if (!seen.insert(a).second)
            return a + " is given twice";
        if (valued && i + 1 < args.size()) {
            if (args[i + 1].empty())
                return a + " needs a value, not an empty text";
            ++i;
        }
    }
    return {};
}

} // namespace tavelo
