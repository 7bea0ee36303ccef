#pragma once

// Text from a user or a file echoed in a message: control characters would
// move the terminal's cursor, recolour it or hide the rest of the line.

#include <cstdio>
#include <string>
#include <string_view>

namespace tavelo {

// `text` with every control character written as \xNN (and a backslash as
// \\); other bytes, UTF-8 included, as they are.
inline std::string shownText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace tavelo
