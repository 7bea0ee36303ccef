#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavelo {

// The user's numeric conventions as the regional settings give them.
struct NumberConventions {
    std::string decimalSeparator = ".";
    std::string groupSeparator = ",";
};

// Reads a typed number: optional blanks around it, an optional sign, digits
// with an optional decimal point (".15" and "15." are numbers), an optional
// exponent. The point is the only decimal separator; "nan", "inf", hex,
// commas, grouping separators and values that overflow a double are refused.
std::optional<double> parseNumber(std::string_view text);
inline bool isNumeric(std::string_view text) { return parseNumber(text).has_value(); }

// Rounds to the nearest whole number, halves to the even neighbour (the
// conversion of typed tree counts and of chart values).
double roundHalfEven(double v);
// The same, as a signed 16-bit count; nothing when it does not fit.
std::optional<int16_t> toInt16HalfEven(double v);

// The display patterns "0", "0.0", "0.00": halves away from zero on the
// number's 15-digit decimal form, point separator, no grouping.
std::string formatFixed(double v, int decimals);
// The plain text form of a number as stored in the record and shown unformatted:
// up to 15 significant digits, no trailing zeros.
std::string plainNumberText(double v);

// UTF-8 text to single-byte Windows-1252, for the simulation log.
std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view bytes);

} // namespace tavelo
