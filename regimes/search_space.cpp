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

[[noreturn]] void malformed(std::string what)
{
    throw Failure{{std::move(what), false}};
}

[[noreturn]] void refused(std::string what)
{
    throw Failure{{std::move(what), true}};
}

void checkSpaceKeys(const QJsonObject &o, const std::string &where, std::initializer_list<const char *> allowed)
{
    if (auto why = unknownKeyError(o, where, allowed))
        malformed(std::move(*why));
}

// A number typed as text, read with the program's strict rule.
std::optional<double> number(const QJsonObject &o, const char *key, const std::string &where)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return std::nullopt;
    const std::string path = where + "." + key;
    if (!v.isString())
        malformed(path + ": must be a string (the text as typed)");
    const std::string typed = utf8(v.toString());
    const auto n = parseNumber(typed);
    if (!n)
        refused(path + ": \"" + shownText(typed) + "\" is not a number");
    return n;
}

double required(const QJsonObject &o, const char *key, const std::string &where)
{
    const auto n = number(o, key, where);
    if (!n)
        malformed(where + "." + key + ": missing");
    return *n;
}

// A list of intensities as typed, each checked by `check` (empty when fine).
template <typename Check>
std::vector<std::string> intensities(const QJsonObject &o, const char *key, Check check)
{
    std::vector<std::string> out;
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return out;
    const std::string where = std::string("thinnings.") + key;
    if (!v.isArray())
        malformed(where + ": must be an array of texts");
    const QJsonArray a = v.toArray();
    std::set<double> seen; // a long list is checked in n log n, not n²
    for (int i = 0; i < a.size(); ++i) {
        const std::string path = where + "[" + std::to_string(i) + "]";
        if (!a[i].isString())
            malformed(path + ": must be a string (the text as typed)");
        const std::string typed = utf8(a[i].toString());
        const auto n = parseNumber(typed);
        if (!n)
            refused(path + ": \"" + shownText(typed) + "\" is not a number");
        if (const std::string why = check(*n); !why.empty())
            refused(path + ": \"" + shownText(typed) + "\" " + why);
        if (!seen.insert(*n).second)
            refused(path + ": \"" + shownText(typed) + "\" is already in the list");
        out.push_back(typed);
    }
    return out;
}

} // namespace

std::variant<SearchSpace, SearchSpaceError> parseSearchSpace(const std::string &json)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &err);
    if (err.error != QJsonParseError::NoError)
        return SearchSpaceError{"offset " + std::to_string(err.offset) + ": " + utf8(err.errorString()), false};
    if (!doc.isObject())
        return SearchSpaceError{"the search space must be a JSON object", false};
    try {
        const QJsonObject root = doc.object();
        checkSpaceKeys(root, "space", {"rotation", "thinnings"});
        SearchSpace s;

        const QJsonValue rotation = root.value("rotation");
        if (!rotation.isObject())
            malformed(rotation.isUndefined() ? "rotation: missing" : "rotation: must be an object");
        const QJsonObject r = rotation.toObject();
        checkSpaceKeys(r, "rotation", {"from", "to"});
        s.rotationFrom = required(r, "from", "rotation");
        s.rotationTo = required(r, "to", "rotation");
        if (s.rotationFrom <= 0.0)
            refused("rotation.from: the rotation age must be above 0");
        if (s.rotationTo < s.rotationFrom)
            refused("rotation.to: must not be below rotation.from");

        const QJsonValue thinnings = root.value("thinnings");
        if (thinnings.isUndefined())
            return s; // final felling only
        if (!thinnings.isObject())
            malformed("thinnings: must be an object");
        const QJsonObject t = thinnings.toObject();
        checkSpaceKeys(t, "thinnings", {"max", "minInterval", "firstAge", "mechanical", "below"});
        const double max = required(t, "max", "thinnings");
        if (max < 0.0 || max != std::floor(max) || max > 30.0)
            refused("thinnings.max: must be a whole number from 0 to 30");
        s.maxThinnings = static_cast<int>(max);
        if (const auto interval = number(t, "minInterval", "thinnings")) {
            if (*interval < 0.0)
                refused("thinnings.minInterval: must not be negative");
            s.minInterval = *interval;
        }
        s.firstAge = number(t, "firstAge", "thinnings");
        // The thinning dialogue accepts 15 to 50 % whatever the stand: any
        // other value could never be part of a regime.
        s.mechanical = intensities(t, "mechanical", [](double p) {
            return p < 15.0 || p > 50.0 ? std::string("must lie between 15 and 50 (% of trees removed)")
                                        : std::string();
        });
        s.below = intensities(t, "below", [](double g) {
            return g <= 0.0 ? std::string("must be above 0 (residual basal area, m2/ha)") : std::string();
        });
        if (s.maxThinnings > 0 && s.mechanical.empty() && s.below.empty())
            refused("thinnings: give at least one intensity in \"mechanical\" or \"below\"");
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
