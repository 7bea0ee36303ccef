#include "management_rules.h"

#include "base/csv.h"
#include "base/numeric_text.h"
#include "base/shown_text.h"
#include "regimes/json_keys.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavelo {

namespace {

constexpr double kMaxRuleAge = 500.0;

struct RulesError {
    ReadProblem problem;
};

// Every fault of the rules is an entry refused, not a malformed file.
[[noreturn]] void refuseRule(ReadProblem::Kind kind, std::string path, std::string value = {})
{
    ReadProblem p = keyProblem(kind, std::move(path), std::move(value));
    p.refusedValue = true;
    throw RulesError{std::move(p)};
}

constexpr std::pair<const char *, StandVariable> kVariableNames[] = {
    {"age", StandVariable::Age},
    {"dominantHeight", StandVariable::DominantHeight},
    {"siteIndex", StandVariable::SiteIndex},
    {"trees", StandVariable::Trees},
    {"basalArea", StandVariable::BasalArea},
    {"volume", StandVariable::Volume},
    {"quadraticMeanDiameter", StandVariable::QuadraticMeanDiameter},
    {"relativeSpacing", StandVariable::RelativeSpacing},
};

constexpr std::pair<const char *, RuleCondition::Comparator> kComparatorNames[] = {
    {"above", RuleCondition::Comparator::Above},
    {"atLeast", RuleCondition::Comparator::AtLeast},
    {"below", RuleCondition::Comparator::Below},
    {"atMost", RuleCondition::Comparator::AtMost},
};

void rejectUnknownRuleKeys(const QJsonObject &o, const std::string &where, std::initializer_list<const char *> allowed)
{
    if (auto why = unknownKeyError(o, where, allowed)) {
        why->refusedValue = true;
        throw RulesError{std::move(*why)};
    }
}

std::string names(const auto &table)
{
    std::string out;
    for (const auto &[name, value] : table)
        out += (out.empty() ? "" : ", ") + std::string(name);
    return out;
}

std::string key(const QString &k) { return shownText(k.toStdString()); }

QJsonObject objectAt(const QJsonValue &v, const std::string &path)
{
    if (!v.isObject())
        refuseRule(ReadProblem::Kind::NotObject, path);
    return v.toObject();
}

// A number written as a text, as it would be typed.
double numberAt(const QJsonValue &v, const std::string &path)
{
    if (!v.isString())
        refuseRule(ReadProblem::Kind::NumberNotText, path);
    const std::string text = v.toString().toStdString();
    const auto n = parseNumber(text);
    if (!n)
        refuseRule(ReadProblem::Kind::NotNumber, path, text);
    return *n;
}

std::optional<double> optionalNumber(const QJsonObject &o, const char *name, const std::string &path)
{
    if (!o.contains(QLatin1String(name)))
        return std::nullopt;
    return numberAt(o.value(QLatin1String(name)), path + "." + name);
}

RuleCondition parseCondition(const QJsonValue &v, const std::string &path)
{
    const QJsonObject o = objectAt(v, path);
    if (o.isEmpty())
        refuseRule(ReadProblem::Kind::EmptyCondition, path, names(kVariableNames));
    RuleCondition c;
    c.keyPath = path;
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string where = path + "." + key(it.key());
        if (it.key() == QLatin1String("any")) {
            if (!it.value().isArray() || it.value().toArray().isEmpty())
                refuseRule(ReadProblem::Kind::AnyShape, where);
            const QJsonArray alternatives = it.value().toArray();
            std::vector<RuleCondition> group;
            for (qsizetype i = 0; i < alternatives.size(); ++i)
                group.push_back(parseCondition(alternatives[i], where + "[" + std::to_string(i) + "]"));
            c.anyOf.push_back(std::move(group));
            continue;
        }
        const auto *variable = std::find_if(std::begin(kVariableNames), std::end(kVariableNames),
                                            [&](const auto &n) { return it.key() == QLatin1String(n.first); });
        if (variable == std::end(kVariableNames))
            refuseRule(ReadProblem::Kind::UnknownVariable, where, names(kVariableNames));
        const QJsonObject tests = objectAt(it.value(), where);
        if (tests.isEmpty())
            refuseRule(ReadProblem::Kind::NoComparison, where, names(kComparatorNames));
        for (auto t = tests.begin(); t != tests.end(); ++t) {
            const std::string at = where + "." + key(t.key());
            const auto *comparator = std::find_if(std::begin(kComparatorNames), std::end(kComparatorNames),
                                                  [&](const auto &n) { return t.key() == QLatin1String(n.first); });
            if (comparator == std::end(kComparatorNames))
                refuseRule(ReadProblem::Kind::UnknownComparison, at, names(kComparatorNames));
            c.comparisons.push_back({variable->second, comparator->second, numberAt(t.value(), at)});
        }
    }
    return c;
}

ThinningRule parseThinningRule(const QJsonValue &v, const std::string &path)
{
    const QJsonObject o = objectAt(v, path);
    rejectUnknownRuleKeys(o, path, {"if", "thin", "percent", "residualBasalArea", "residualBasalAreaPercent"});
    ThinningRule rule;
    rule.keyPath = path;
    if (o.contains(QLatin1String("if")))
        rule.when = parseCondition(o.value(QLatin1String("if")), path + ".if");
    const QJsonValue thin = o.value(QLatin1String("thin"));
    const bool percent = o.contains(QLatin1String("percent"));
    const bool residual = o.contains(QLatin1String("residualBasalArea"));
    const bool residualPercent = o.contains(QLatin1String("residualBasalAreaPercent"));
    if (thin.isUndefined())
        refuseRule(ReadProblem::Kind::RuleWithoutThinning, path);
    if (thin == QJsonValue(QStringLiteral("mechanical"))) {
        if (!percent || residual || residualPercent)
            refuseRule(ReadProblem::Kind::MechanicalTakesPercent, path);
        rule.kind = ScreenEntries::Thinning::Mechanical;
        numberAt(o.value(QLatin1String("percent")), path + ".percent");
        rule.text = o.value(QLatin1String("percent")).toString().toStdString();
    } else if (thin == QJsonValue(QStringLiteral("below"))) {
        if (percent || residual == residualPercent)
            refuseRule(ReadProblem::Kind::RuleBelowTakesResidual, path);
        rule.kind = ScreenEntries::Thinning::FromBelow;
        if (residual) {
            numberAt(o.value(QLatin1String("residualBasalArea")), path + ".residualBasalArea");
            rule.text = o.value(QLatin1String("residualBasalArea")).toString().toStdString();
        } else {
            rule.residualPercent =
                numberAt(o.value(QLatin1String("residualBasalAreaPercent")), path + ".residualBasalAreaPercent");
        }
    } else {
        refuseRule(ReadProblem::Kind::ThinningKind, path + ".thin");
    }
    return rule;
}

ManagementRules parseRules(const QJsonValue &section)
{
    const QJsonObject o = objectAt(section, "rules");
    rejectUnknownRuleKeys(o, "rules", {"maxAge", "finalFelling", "thinnings"});
    ManagementRules rules;
    const auto maxAge = optionalNumber(o, "maxAge", "rules");
    if (!maxAge)
        refuseRule(ReadProblem::Kind::MaxAgeMissing, "rules.maxAge");
    // Each stand screen is 5 years on: a bound keeps every run finite.
    if (*maxAge > kMaxRuleAge)
        refuseRule(ReadProblem::Kind::MaxAgeTooHigh, "rules.maxAge", plainNumberText(kMaxRuleAge));
    if (*maxAge < 0.0)
        refuseRule(ReadProblem::Kind::NegativeInterval, "rules.maxAge");
    rules.maxAge = *maxAge;
    if (o.contains(QLatin1String("finalFelling")))
        rules.finalFelling = parseCondition(o.value(QLatin1String("finalFelling")), "rules.finalFelling");
    if (!o.contains(QLatin1String("thinnings")))
        return rules;
    const std::string path = "rules.thinnings";
    const QJsonObject t = objectAt(o.value(QLatin1String("thinnings")), path);
    rejectUnknownRuleKeys(t, path, {"firstAge", "minInterval", "max", "when"});
    rules.firstThinningAge = optionalNumber(t, "firstAge", path).value_or(0.0);
    rules.minThinningInterval = optionalNumber(t, "minInterval", path).value_or(0.0);
    // An age or a time between thinnings below 0 is a typing slip, not a rule.
    if (rules.firstThinningAge < 0.0)
        refuseRule(ReadProblem::Kind::NegativeInterval, path + ".firstAge");
    if (rules.minThinningInterval < 0.0)
        refuseRule(ReadProblem::Kind::NegativeInterval, path + ".minInterval");
    if (const auto max = optionalNumber(t, "max", path)) {
        if (*max < 0 || *max != std::floor(*max) || *max > 1000)
            refuseRule(ReadProblem::Kind::WholeNumberOutOfRange, path + ".max", "1000");
        rules.maxThinnings = static_cast<int>(*max);
    }
    const QJsonValue when = t.value(QLatin1String("when"));
    if (!when.isArray() || when.toArray().isEmpty())
        refuseRule(ReadProblem::Kind::WhenShape, path + ".when");
    const QJsonArray entries = when.toArray();
    for (qsizetype i = 0; i < entries.size(); ++i)
        rules.thinnings.push_back(parseThinningRule(entries[i], path + ".when[" + std::to_string(i) + "]"));
    return rules;
}

bool compare(double shown, RuleCondition::Comparator c, double value)
{
    switch (c) {
    case RuleCondition::Comparator::Above: return shown > value;
    case RuleCondition::Comparator::AtLeast: return shown >= value;
    case RuleCondition::Comparator::Below: return shown < value;
    case RuleCondition::Comparator::AtMost: return shown <= value;
    }
    return false;
}

// Whether `c` holds; `cause` becomes the innermost alternative that made it hold.
bool holds(const RuleCondition &c, const StandReading &r, std::string &cause)
{
    for (const RuleCondition::Comparison &k : c.comparisons)
        if (!compare(r[k.variable], k.comparator, k.value))
            return false;
    std::string inner = c.keyPath;
    for (const auto &group : c.anyOf) {
        bool one = false;
        for (const RuleCondition &alternative : group) {
            std::string why;
            if (holds(alternative, r, why)) {
                one = true;
                inner = why;
                break;
            }
        }
        if (!one)
            return false;
    }
    cause = inner;
    return true;
}

} // namespace

std::variant<ManagementRules, ReadProblem> parseRulesSection(const QJsonValue &section)
{
    try {
        return parseRules(section);
    } catch (const RulesError &e) {
        return e.problem;
    }
}

StandReading readStandScreen(const StandTable &table)
{
    const auto shown = [](const std::string &text) {
        return parseNumber(text).value_or(std::numeric_limits<double>::quiet_NaN());
    };
    StandReading r;
    r.year = table.txtAno;
    r.age = table.txtIdade;
    const TableRow &total = table.totalRow();
    auto set = [&](StandVariable v, double value) { r.values[static_cast<size_t>(v)] = value; };
    set(StandVariable::Age, shown(table.txtIdade));
    set(StandVariable::DominantHeight, shown(table.txtADom));
    set(StandVariable::SiteIndex, shown(table.txtCQualidd));
    set(StandVariable::Trees, shown(total[1]));
    set(StandVariable::BasalArea, shown(total[2]));
    set(StandVariable::Volume, shown(total[4]));
    set(StandVariable::QuadraticMeanDiameter, shown(table.txtDmedio));
    // No trees or no height: the spacing is unbounded, which every comparison
    // can still judge.
    const double trees = r[StandVariable::Trees];
    const double height = r[StandVariable::DominantHeight];
    set(StandVariable::RelativeSpacing, trees > 0.0 && height > 0.0
                                            ? 100.0 * std::sqrt(10000.0 / trees) / height
                                            : std::numeric_limits<double>::infinity());
    return r;
}

const char *eventKindName(ManagementEvent::Kind kind)
{
    switch (kind) {
    case ManagementEvent::Kind::Thinning: return "thinning";
    case ManagementEvent::Kind::RefusedThinning: return "refused-thinning";
    case ManagementEvent::Kind::FinalFelling: return "final-felling";
    case ManagementEvent::Kind::MaximumAge: return "maximum-age";
    }
    return "";
}

std::string eventsCsvLine(const std::string &id, const ManagementEvent &e)
{
    return csvCell(id) + "," + csvCell(e.year) + "," + csvCell(e.age) + "," + eventKindName(e.kind) + "," +
           csvCell(e.cause) + "," + csvCell(e.text) + "\n";
}

RuleDecision decideAtStandScreen(const ManagementRules &rules, const StandReading &reading,
                                 const ThinningHistory &history, double basalArea)
{
    RuleDecision d;
    const double age = reading[StandVariable::Age];
    if (rules.finalFelling && holds(*rules.finalFelling, reading, d.cause)) {
        d.kind = RuleDecision::Kind::End;
        d.ending = ManagementEvent::Kind::FinalFelling;
        return d;
    }
    if (age >= rules.maxAge) {
        d.kind = RuleDecision::Kind::End;
        d.ending = ManagementEvent::Kind::MaximumAge;
        d.cause = "rules.maxAge";
        return d;
    }
    const bool allowed = age >= rules.firstThinningAge &&
                         (!rules.maxThinnings || history.count < *rules.maxThinnings) &&
                         (!history.lastAge || age - *history.lastAge >= rules.minThinningInterval);
    if (!allowed)
        return d;
    for (const ThinningRule &rule : rules.thinnings) {
        std::string cause;
        if (rule.when && !holds(*rule.when, reading, cause))
            continue;
        d.kind = RuleDecision::Kind::Thin;
        d.cause = rule.keyPath;
        if (rule.kind == ScreenEntries::Thinning::Mechanical)
            d.thinning = ThinningInput::mechanical(rule.text);
        else if (rule.residualPercent)
            d.thinning = ThinningInput::fromBelow(formatFixed(basalArea * *rule.residualPercent / 100.0, 2));
        else
            d.thinning = ThinningInput::fromBelow(rule.text);
        return d;
    }
    return d;
}

} // namespace tavelo
