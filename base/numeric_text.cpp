#include "numeric_text.h"

#include <array>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tavelo {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::optional<double> parseNumber(std::string_view text)
{
    size_t b = 0;
    size_t e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    const std::string_view t = text.substr(b, e - b);
    if (t.empty())
        return std::nullopt;

    // Validate the shape by hand so that strtod's extras (inf, nan, hex) never pass.
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-')
        ++i;
    size_t intDigits = 0;
    while (i < t.size() && isDigit(t[i])) {
        ++i;
        ++intDigits;
    }
    size_t fracDigits = 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) {
            ++i;
            ++fracDigits;
        }
    }
    if (intDigits + fracDigits == 0)
        return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        size_t expDigits = 0;
        while (i < t.size() && isDigit(t[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;

    const std::string s(t);
    errno = 0;
    char *end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v) || errno == ERANGE) {
        // Underflow to zero is still a number; overflow is not.
        if (errno == ERANGE && std::isfinite(v) && std::fabs(v) < 1.0)
            return v;
        return std::nullopt;
    }
    return v;
}

double roundHalfEven(double v)
{
    // nearbyint rounds with the current mode, which is to-nearest-even by default.
    return std::nearbyint(v);
}

std::optional<int16_t> toInt16HalfEven(double v)
{
    if (!std::isfinite(v))
        return std::nullopt;
    const double r = roundHalfEven(v);
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<int16_t>(r);
}

namespace {

// Writes the whole number `scaled` (the value times 10^decimals, rounded) with
// the decimal point put back.
std::string fixedFromScaled(unsigned long long scaled, int decimals, bool negative)
{
    char digits[32];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + scaled % 10);
        scaled /= 10;
    } while (scaled > 0);
    while (n <= decimals)
        digits[n++] = '0';
    std::string out;
    out.reserve(static_cast<size_t>(n) + 2);
    bool nonZero = false;
    for (int i = 0; i < n; ++i)
        nonZero = nonZero || digits[i] != '0';
    if (negative && nonZero)
        out.push_back('-');
    for (int i = n - 1; i >= 0; --i) {
        out.push_back(digits[i]);
        if (i == decimals && decimals > 0)
            out.push_back('.');
    }
    return out;
}

} // namespace

std::string formatFixed(double v, int decimals)
{
    if (!std::isfinite(v))
        return "0"; // never reached with model values; keeps a screen from showing "nan"
    const bool negative = std::signbit(v) && v != 0.0;
    const double a = std::fabs(v);

    // Fast path: away from a half, rounding the scaled number directly gives
    // the same digits as rounding its 15-digit decimal form.
    if (a < 1e9 && decimals >= 0 && decimals <= 3) {
        static constexpr double kScale[] = {1.0, 10.0, 100.0, 1000.0};
        const double scaled = a * kScale[decimals];
        const double whole = std::floor(scaled);
        const double frac = scaled - whole;
        if (std::fabs(frac - 0.5) > 1e-6)
            return fixedFromScaled(static_cast<unsigned long long>(whole) + (frac > 0.5 ? 1 : 0), decimals, negative);
    }

    // The 15 significant digits of the number and its decimal exponent.
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), a, std::chars_format::scientific, 14);
    std::string digits;
    int exp10 = 0;
    {
        const std::string_view s(buf.data(), static_cast<size_t>(res.ptr - buf.data()));
        const size_t ePos = s.find('e');
        for (size_t i = 0; i < ePos; ++i)
            if (isDigit(s[i]))
                digits.push_back(s[i]);
        exp10 = std::atoi(std::string(s.substr(ePos + 1)).c_str());
    }
    // Value = 0.d1d2d3... * 10^(exp10 + 1). Keep the digits up to the wanted decimal.
    const int kept = exp10 + 1 + decimals; // number of significant digits that remain
    std::string out;                      // the whole number value * 10^decimals, as digits
    if (a == 0.0 || kept < 0) {
        out = "0";
    } else {
        std::string k = digits.substr(0, std::min<size_t>(kept, digits.size()));
        while (static_cast<int>(k.size()) < kept)
            k.push_back('0');
        const bool roundUp = kept < static_cast<int>(digits.size()) && digits[kept] >= '5';
        if (k.empty())
            k.assign(1, '0');
        if (roundUp) {
            int i = static_cast<int>(k.size()) - 1;
            while (i >= 0) {
                if (k[i] == '9') {
                    k[i] = '0';
                    --i;
                } else {
                    ++k[i];
                    break;
                }
            }
            if (i < 0)
                k = std::string(1, '1') + k;
        }
        out = k;
    }
    if (static_cast<int>(out.size()) <= decimals)
        out = std::string(static_cast<size_t>(decimals) + 1 - out.size(), '0') + out;
    std::string result(out, 0, out.size() - static_cast<size_t>(decimals));
    if (decimals > 0) {
        result.push_back('.');
        result.append(out, out.size() - static_cast<size_t>(decimals), std::string::npos);
    }
    // Strip superfluous leading zeros of the whole part ("007" never happens, "0" stays).
    size_t nz = 0;
    while (nz + 1 < result.size() && result[nz] == '0' && result[nz + 1] != '.')
        ++nz;
    result.erase(0, nz);
    bool allZero = true;
    for (char c : result)
        if (c != '0' && c != '.')
            allZero = false;
    if (negative && !allZero)
        result.insert(result.begin(), '-');
    return result;
}

std::string plainNumberText(double v)
{
    if (!std::isfinite(v))
        return "0";
    if (v == 0.0)
        return "0";
    // printf's "%.15g", without printf's cost (a batch writes tens of these a stand).
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, 15);
    std::string s(buf.data(), res.ptr);
    // Exponent form as the program writes it ("1E+20", "1.5E-07").
    const size_t e = s.find('e');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e);
        std::string ex = s.substr(e + 1);
        const char sign = ex[0] == '-' ? '-' : '+';
        size_t p = (ex[0] == '-' || ex[0] == '+') ? 1 : 0;
        while (p + 1 < ex.size() && ex[p] == '0')
            ++p;
        std::string digits = ex.substr(p);
        if (digits.size() < 2)
            digits.insert(digits.begin(), '0');
        s = mant + "E" + sign + digits;
    }
    return s;
}

namespace {

// Windows-1252 code points 0x80..0x9F.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

std::string utf8ToCp1252(std::string_view utf8)
{
    // Most of a log is plain ASCII, which is the same in both.
    size_t i = 0;
    while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80)
        ++i;
    std::string out(utf8.substr(0, i));
    if (i == utf8.size())
        return out;
    out.reserve(utf8.size());
    while (i < utf8.size()) {
        const auto c0 = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0;
        size_t len = 1;
        if (c0 < 0x80) {
            cp = c0;
        } else if ((c0 & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            cp = ((c0 & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            len = 2;
        } else if ((c0 & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            cp = ((c0 & 0x0F) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
            len = 3;
        } else if ((c0 & 0xF8) == 0xF0 && i + 3 < utf8.size()) {
            cp = ((c0 & 0x07) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 12) |
                 ((static_cast<unsigned char>(utf8[i + 2]) & 0x3F) << 6) |
                 (static_cast<unsigned char>(utf8[i + 3]) & 0x3F);
            len = 4;
        } else {
            cp = '?';
        }
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        char mapped = '?';
        for (size_t k = 0; k < kCp1252High.size(); ++k)
            if (kCp1252High[k] == cp)
                mapped = static_cast<char>(0x80 + k);
        out.push_back(mapped);
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else if (c < 0xA0)
            appendUtf8(out, kCp1252High[c - 0x80]);
        else
            appendUtf8(out, c);
    }
    return out;
}

} // namespace tavelo
