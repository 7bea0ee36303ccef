#include "search_space.h"

#include "base/numeric_text.h"
#include "base/shown_text.h"
#include "regimes/json_keys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <set>

namespace tavelo {

namespace {

struct Failure {
    SearchSpaceError error;
};

using SpaceKind = ReadProblem::Kind;

// The key a path of the file belongs to.
std::optional<SearchSpaceKey> keyOf(const std::string &path)
{
    static const std::pair<const char *, SearchSpaceKey> keys[] = {
        {"rotation.from", SearchSpaceKey::RotationFrom},   {"rotation.to", SearchSpaceKey::RotationTo},
        {"thinnings.max", SearchSpaceKey::MaxThinnings},   {"thinnings.minInterval", SearchSpaceKey::MinInterval},
        {"thinnings.firstAge", SearchSpaceKey::FirstAge},  {"thinnings.mechanical", SearchSpaceKey::Mechanical},
        {"thinnings.below", SearchSpaceKey::Below},
    };
    for (const auto &[name, key] : keys)
        if (path == name)
            return key;
    return std::nullopt;
}

// `path` is the key's own ("thinnings.below"); `item` the place in its list.
[[noreturn]] void spaceFault(bool refusedValue, SpaceKind kind, const std::string &path, std::string value = {},
                             std::optional<size_t> item = std::nullopt)
{
    ReadProblem p = keyProblem(kind, item ? path + "[" + std::to_string(*item) + "]" : path, std::move(value));
    p.refusedValue = refusedValue;
    throw Failure{{std::move(p), keyOf(path), item}};
}

[[noreturn]] void malformed(SpaceKind kind, const std::string &path, std::optional<size_t> item = std::nullopt)
{
    spaceFault(false, kind, path, {}, item);
}

[[noreturn]] void refused(SpaceKind kind, const std::string &path, std::string value = {},
                          std::optional<size_t> item = std::nullopt)
{
    spaceFault(true, kind, path, std::move(value), item);
}

void checkSpaceKeys(const QJsonObject &o, const std::string &where, std::initializer_list<const char *> allowed)
{
    if (auto why = unknownKeyError(o, where, allowed))
        throw Failure{{std::move(*why), std::nullopt, std::nullopt}};
}

// A number typed as text, read with the program's strict rule.
std::optional<double> number(const QJsonObject &o, const char *key, const std::string &where)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return std::nullopt;
    const std::string path = where + "." + key;
    if (!v.isString())
        malformed(SpaceKind::NotText, path);
    const std::string typed = utf8(v.toString());
    const auto n = parseNumber(typed);
    if (!n)
        refused(SpaceKind::NotNumber, path, typed);
    return n;
}

double required(const QJsonObject &o, const char *key, const std::string &where)
{
    const auto n = number(o, key, where);
    if (!n)
        malformed(SpaceKind::Missing, where + "." + key);
    return *n;
}

// A list of intensities as typed, each checked by `check` (nothing when fine).
template <typename Check>
std::vector<std::string> intensities(const QJsonObject &o, const char *key, Check check)
{
    std::vector<std::string> out;
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return out;
    const std::string where = std::string("thinnings.") + key;
    if (!v.isArray())
        malformed(SpaceKind::NotTextArray, where);
    const QJsonArray a = v.toArray();
    std::set<double> seen; // a long list is checked in n log n, not n²
    for (int i = 0; i < a.size(); ++i) {
        const auto item = static_cast<size_t>(i);
        if (!a[i].isString())
            malformed(SpaceKind::NotText, where, item);
        const std::string typed = utf8(a[i].toString());
        const auto n = parseNumber(typed);
        if (!n)
            refused(SpaceKind::NotNumber, where, typed, item);
        if (const std::optional<SpaceKind> why = check(*n))
            refused(*why, where, typed, item);
        if (!seen.insert(*n).second)
            refused(SpaceKind::RepeatedInList, where, typed, item);
        out.push_back(typed);
    }
    return out;
}

} // namespace

std::variant<SearchSpace, SearchSpaceError> parseSearchSpace(const std::string &json)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &err);
    if (err.error != QJsonParseError::NoError) {
        ReadProblem p;
        p.kind = SpaceKind::JsonSyntaxAtOffset;
        p.offset = err.offset;
        p.jsonError = err.error;
        return SearchSpaceError{std::move(p), std::nullopt, std::nullopt};
    }
    if (!doc.isObject())
        return SearchSpaceError{keyProblem(SpaceKind::NotJsonObject, "search space"), std::nullopt, std::nullopt};
    try {
        const QJsonObject root = doc.object();
        checkSpaceKeys(root, "space", {"rotation", "thinnings"});
        SearchSpace s;

        const QJsonValue rotation = root.value("rotation");
        if (!rotation.isObject())
            malformed(rotation.isUndefined() ? SpaceKind::Missing : SpaceKind::NotObject, "rotation");
        const QJsonObject r = rotation.toObject();
        checkSpaceKeys(r, "rotation", {"from", "to"});
        s.rotationFrom = required(r, "from", "rotation");
        s.rotationTo = required(r, "to", "rotation");
        if (s.rotationFrom <= 0.0)
            refused(SpaceKind::RotationNotPositive, "rotation.from");
        if (s.rotationTo < s.rotationFrom)
            refused(SpaceKind::RotationToBelowFrom, "rotation.to");

        const QJsonValue thinnings = root.value("thinnings");
        if (thinnings.isUndefined())
            return s; // final felling only
        if (!thinnings.isObject())
            malformed(SpaceKind::NotObject, "thinnings");
        const QJsonObject t = thinnings.toObject();
        checkSpaceKeys(t, "thinnings", {"max", "minInterval", "firstAge", "mechanical", "below"});
        const double max = required(t, "max", "thinnings");
        if (max < 0.0 || max != std::floor(max) || max > 30.0)
            refused(SpaceKind::WholeNumberOutOfRange, "thinnings.max", "30");
        s.maxThinnings = static_cast<int>(max);
        if (const auto interval = number(t, "minInterval", "thinnings")) {
            if (*interval < 0.0)
                refused(SpaceKind::NegativeInterval, "thinnings.minInterval");
            s.minInterval = *interval;
        }
        s.firstAge = number(t, "firstAge", "thinnings");
        // The thinning dialogue accepts 15 to 50 % whatever the stand: any
        // other value could never be part of a regime.
        s.mechanical = intensities(t, "mechanical", [](double p) {
            return p < 15.0 || p > 50.0 ? std::optional(SpaceKind::MechanicalOutOfRange) : std::nullopt;
        });
        s.below = intensities(t, "below", [](double g) {
            return g <= 0.0 ? std::optional(SpaceKind::ResidualNotPositive) : std::nullopt;
        });
        if (s.maxThinnings > 0 && s.mechanical.empty() && s.below.empty())
            refused(SpaceKind::NoIntensity, "thinnings");
        return s;
    } catch (const Failure &f) {
        return f.error;
    }
}

RotationAges rotationAges(const SearchSpace &space, double initialAge)
{
    // Round each end up to a stand screen; a tiny tolerance keeps an age that
    // already lies on a screen where it is.
    auto screenAtOrAfter = [&](double age) {
        const double k = std::max(0.0, std::ceil((age - initialAge) / 5.0 - 1e-9));
        return initialAge + 5.0 * k;
    };
    RotationAges r;
    r.first = screenAtOrAfter(space.rotationFrom);
    r.last = space.rotationTo < initialAge ? initialAge - 5.0 : screenAtOrAfter(space.rotationTo);
    return r;
}

} // namespace tavelo
