#include "scenario.h"

#include "regimes/economics_section.h"
#include "base/shown_text.h"
#include "regimes/json_keys.h"
#include "regimes/carbon_run.h"
#include "model/model_error.h"
#include "session/structure/sim_record.h"
#include "session/structure/simulation_flow.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>


namespace tavelo {

namespace {

struct ParseError {
    ReadProblem problem;
};

using ScenarioFault = ReadProblem::Kind;

[[noreturn]] void refuseScenario(ScenarioFault kind, std::string path, std::string value = {})
{
    throw ParseError{keyProblem(kind, std::move(path), std::move(value))};
}

std::optional<std::string> text(const QJsonObject &o, const char *key, const std::string &where)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return std::nullopt;
    if (!v.isString())
        refuseScenario(ScenarioFault::NotText, where + "." + key);
    return utf8(v.toString());
}

QJsonObject object(const QJsonObject &o, const char *key, bool required)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) {
        if (required)
            refuseScenario(ScenarioFault::Missing, key);
        return {};
    }
    if (!v.isObject())
        refuseScenario(ScenarioFault::NotObject, key);
    return v.toObject();
}

OptionsInput parseOptions(const QJsonObject &o, const std::string &defaultYear)
{
    rejectUnknownKeys<ParseError>(o, "options", {"volumes", "year", "sawlogMinDiameter", "sawlogMinLength", "stumpHeight", "topDiameter"});
    OptionsInput in;
    in.year = defaultYear;
    if (auto v = text(o, "volumes", "options")) {
        if (*v == "com casca")
            in.withBark = true;
        else if (*v == "sem casca")
            in.withBark = false;
        else
            refuseScenario(ScenarioFault::VolumesChoice, "options.volumes");
    }
    if (auto v = text(o, "year", "options"))
        in.year = *v;
    if (auto v = text(o, "sawlogMinDiameter", "options"))
        in.sawlogMinDiameter = *v;
    if (auto v = text(o, "sawlogMinLength", "options"))
        in.sawlogMinLength = *v;
    if (auto v = text(o, "stumpHeight", "options"))
        in.stumpHeight = *v;
    if (auto v = text(o, "topDiameter", "options"))
        in.topDiameter = *v;
    return in;
}

StandDataInput parseStand(const QJsonObject &o)
{
    rejectUnknownKeys<ParseError>(o, "stand", {"age", "dominantHeight", "qualityClass"});
    StandDataInput in;
    const auto age = text(o, "age", "stand");
    if (!age)
        refuseScenario(ScenarioFault::Missing, "stand.age");
    in.age = *age;
    const auto h = text(o, "dominantHeight", "stand");
    const auto q = text(o, "qualityClass", "stand");
    if (h && q)
        refuseScenario(ScenarioFault::SiteGivenTwice, "stand");
    if (h) {
        in.mode = SiteInput::DominantHeight;
        in.dominantHeight = *h;
    } else if (q) {
        in.mode = SiteInput::QualityClass;
        in.qualityClass = qualityClassFromCaption(*q);
        if (!in.qualityClass)
            refuseScenario(ScenarioFault::UnknownQualityClass, "stand.qualityClass", *q);
    } else {
        refuseScenario(ScenarioFault::SiteMissing, "stand");
    }
    return in;
}

std::variant<UnthinnedDensity, ThinnedEntryInput> parseDensity(const QJsonObject &o)
{
    rejectUnknownKeys<ParseError>(o, "density", {"planted", "alive", "trees", "basalArea", "minDiameter", "p95", "classes"});
    const bool unthinned = o.contains("planted") || o.contains("alive");
    const bool parameters = o.contains("trees") || o.contains("basalArea") || o.contains("minDiameter") ||
                            o.contains("p95");
    const bool classes = o.contains("classes");
    if (int(unthinned) + int(parameters) + int(classes) != 1 || (o.contains("planted") && o.contains("alive")))
        refuseScenario(ScenarioFault::DensityChoice, "density");
    if (unthinned) {
        UnthinnedDensity d;
        if (auto v = text(o, "planted", "density")) {
            d.choice = DensityChoice::Planted;
            d.trees = *v;
        } else {
            d.choice = DensityChoice::Alive;
            d.trees = *text(o, "alive", "density");
        }
        return d;
    }
    ThinnedEntryInput in;
    if (parameters) {
        in.choice = ThinnedEntryChoice::Parameters;
        for (auto [key, field] : {std::pair{"trees", &in.trees}, std::pair{"basalArea", &in.basalArea},
                                  std::pair{"minDiameter", &in.minDiameter}, std::pair{"p95", &in.p95}}) {
            const auto v = text(o, key, "density");
            if (!v)
                refuseScenario(ScenarioFault::Missing, std::string("density.") + key);
            *field = *v;
        }
        return in;
    }
    in.choice = ThinnedEntryChoice::Classes;
    const QJsonValue v = o.value("classes");
    if (!v.isArray() || v.toArray().size() != 13)
        refuseScenario(ScenarioFault::ClassesShape, "density.classes");
    const QJsonArray a = v.toArray();
    for (int i = 0; i < 13; ++i) {
        if (!a[i].isString())
            refuseScenario(ScenarioFault::ClassNotText, "density.classes[" + std::to_string(i) + "]");
        in.classes[i] = utf8(a[i].toString());
    }
    return in;
}

std::optional<EconomicTexts> parseEconomics(const QJsonObject &root)
{
    if (!root.contains(QLatin1String("economics")))
        return std::nullopt;
    auto section = parseEconomicsSection(root.value(QLatin1String("economics")));
    if (auto *error = std::get_if<ReadProblem>(&section))
        throw ParseError{*error};
    return std::get<EconomicTexts>(section);
}

std::optional<CarbonTexts> parseCarbon(const QJsonObject &root)
{
    if (!root.contains(QLatin1String("carbon")))
        return std::nullopt;
    auto section = parseCarbonSection(root.value(QLatin1String("carbon")));
    if (auto *error = std::get_if<ReadProblem>(&section))
        throw ParseError{*error};
    return std::get<CarbonTexts>(section);
}

// The rules, when the file has them instead of steps.
std::optional<ManagementRules> parseRules(const QJsonObject &root)
{
    if (!root.contains(QLatin1String("rules")))
        return std::nullopt;
    if (root.contains(QLatin1String("steps"))) {
        // Refused as the rules are: an entry refused, not a malformed file.
        ReadProblem p = keyProblem(ScenarioFault::StepsAndRules, "rules");
        p.refusedValue = true;
        throw ParseError{std::move(p)};
    }
    auto section = parseRulesSection(root.value(QLatin1String("rules")));
    if (auto *error = std::get_if<ReadProblem>(&section))
        throw ParseError{*error};
    return std::get<ManagementRules>(std::move(section));
}

std::vector<ScenarioStep> parseSteps(const QJsonValue &v)
{
    std::vector<ScenarioStep> steps;
    if (v.isUndefined())
        return steps;
    if (!v.isArray())
        refuseScenario(ScenarioFault::NotArray, "steps");
    const QJsonArray a = v.toArray();
    for (int i = 0; i < a.size(); ++i) {
        const std::string where = "steps[" + std::to_string(i) + "]";
        ScenarioStep s;
        if (a[i].isString()) {
            const std::string k = utf8(a[i].toString());
            if (k == "project")
                s.kind = ScenarioStep::Kind::Project;
            else if (k == "discard")
                s.kind = ScenarioStep::Kind::Discard;
            else if (k == "end")
                s.kind = ScenarioStep::Kind::End;
            else
                refuseScenario(ScenarioFault::UnknownStep, where, k);
        } else if (a[i].isObject()) {
            const QJsonObject o = a[i].toObject();
            rejectUnknownKeys<ParseError>(o, where, {"thin", "percent", "residualBasalArea"});
            s.kind = ScenarioStep::Kind::Thin;
            const auto kind = text(o, "thin", where);
            if (kind == "mechanical") {
                const auto p = text(o, "percent", where);
                if (!p || o.contains("residualBasalArea"))
                    refuseScenario(ScenarioFault::MechanicalTakesPercent, where);
                s.thinning = ThinningInput::mechanical(*p);
            } else if (kind == "below") {
                const auto g = text(o, "residualBasalArea", where);
                if (!g || o.contains("percent"))
                    refuseScenario(ScenarioFault::BelowTakesResidual, where);
                s.thinning = ThinningInput::fromBelow(*g);
            } else {
                refuseScenario(ScenarioFault::ThinningKind, where + ".thin");
            }
        } else {
            refuseScenario(ScenarioFault::StepShape, where);
        }
        if (!steps.empty() && steps.back().kind == ScenarioStep::Kind::End)
            refuseScenario(ScenarioFault::StepAfterEnd, where);
        steps.push_back(s);
    }
    return steps;
}

// Where a JSON syntax error lies, by line and column.
ReadProblem jsonSyntaxProblem(const std::string &json, const QJsonParseError &err)
{
    // Qt's offset lies just past the character where parsing stopped; the column
    // names that character, counting letters rather than UTF-8 bytes.
    const int at = err.offset > 0 ? err.offset - 1 : 0;
    int line = 1;
    int col = 1;
    for (int i = 0; i < at && i < static_cast<int>(json.size()); ++i) {
        if (json[i] == '\n') {
            ++line;
            col = 1;
        } else if ((static_cast<unsigned char>(json[i]) & 0xC0) != 0x80) {
            ++col;
        }
    }
    ReadProblem p;
    p.kind = ScenarioFault::JsonSyntax;
    p.line = line;
    p.column = col;
    p.jsonError = err.error;
    return p;
}

// Reads `json` as one JSON object, the `what` of the file, and hands it to
// `read`; on error, says what and where.
template <typename T, typename Read>
std::variant<T, ReadProblem> parseDocument(const std::string &json, const char *what, Read &&read)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &err);
    if (err.error != QJsonParseError::NoError)
        return jsonSyntaxProblem(json, err);
    if (!doc.isObject())
        return keyProblem(ScenarioFault::NotJsonObject, what);
    try {
        return read(doc.object());
    } catch (const ParseError &e) {
        return e.problem;
    }
}

} // namespace

std::variant<Scenario, ReadProblem> parseScenario(const std::string &json, const std::string &defaultYear)
{
    return parseDocument<Scenario>(json, "scenario", [&](const QJsonObject &root) {
        rejectUnknownKeys<ParseError>(root, "scenario", {"options", "stand", "density", "steps", "rules", "economics", "carbon"});
        Scenario s;
        s.options = parseOptions(object(root, "options", false), defaultYear);
        s.stand = parseStand(object(root, "stand", true));
        s.density = parseDensity(object(root, "density", true));
        s.steps = parseSteps(root.value("steps"));
        s.rules = parseRules(root);
        s.economics = parseEconomics(root);
        s.carbon = parseCarbon(root);
        return s;
    });
}

std::variant<Regime, ReadProblem> parseRegime(const std::string &json, const std::string &defaultYear)
{
    return parseDocument<Regime>(json, "regime", [&](const QJsonObject &root) {
        rejectUnknownKeys<ParseError>(root, "regime", {"options", "steps", "rules", "economics", "carbon"});
        Regime r;
        r.options = parseOptions(object(root, "options", false), defaultYear);
        r.steps = parseSteps(root.value("steps"));
        r.rules = parseRules(root);
        r.economics = parseEconomics(root);
        r.carbon = parseCarbon(root);
        return r;
    });
}

Scenario scenarioOf(const Regime &regime, const StandDataInput &stand,
                    const std::variant<UnthinnedDensity, ThinnedEntryInput> &density)
{
    return Scenario{regime.options, stand, density, regime.steps, regime.economics, regime.carbon, regime.rules};
}

namespace {

RunResult refused(Message m)
{
    RunResult r;
    r.status = RunResult::Status::Refused;
    r.message = std::move(m);
    return r;
}

// Why a step cannot be played where the scenario plays it, in the words of its steps.
std::string notAllowedText(const SimulationFlow::NotAllowed &e)
{
    using Op = SimulationFlow::Operation;
    if (e.stage() == SimulationFlow::Stage::AfterThinning && (e.operation() == Op::Thin || e.operation() == Op::OpenThinning))
        return "o desbaste já foi definido; use \"project\", \"discard\" ou \"end\".";
    if (e.operation() == Op::Discard)
        return "não há desbaste definido para voltar a definir.";
    return "este passo não está disponível neste ponto da simulação.";
}

void add(Messages &to, const Messages &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

// The stand screens under rules: at each one the rules decide, and the
// decision is typed into the dialogues as a user would. A step is noted
// before it is played, so that a step the model ends is replayed too.
void playRules(SimulationFlow &flow, const ManagementRules &rules, RunResult &result)
{
    using Kind = ScenarioStep::Kind;
    ThinningHistory history;
    for (;;) {
        const StandReading reading = readStandScreen(*flow.simulation().standTable());
        const RuleDecision decision =
            decideAtStandScreen(rules, reading, history, flow.state().basalArea.value());
        if (decision.kind == RuleDecision::Kind::End) {
            result.events.push_back({reading.year, reading.age, decision.ending, decision.cause, {}});
            result.stepsTaken.push_back({Kind::End, {}});
            add(result.notices, flow.end());
            return;
        }
        if (decision.kind == RuleDecision::Kind::Thin) {
            flow.openThinning();
            result.stepsTaken.push_back({Kind::Thin, decision.thinning});
            const ThinningOutcome out = flow.thin(decision.thinning);
            if (out.kind == ThinningOutcome::Kind::ShowThinnedStand) {
                ++history.count;
                history.lastAge = reading[StandVariable::Age];
                result.events.push_back({reading.year, reading.age, ManagementEvent::Kind::Thinning, decision.cause,
                                         flow.simulation().thinnedTable()->lblDesbasteMS});
            } else {
                // Refused: the dialogue is closed and the stand grows on unthinned.
                result.stepsTaken.pop_back();
                flow.leaveThinning();
                result.events.push_back({reading.year, reading.age, ManagementEvent::Kind::RefusedThinning,
                                         decision.cause, out.message ? out.message->text : std::string()});
            }
        }
        result.stepsTaken.push_back({Kind::Project, {}});
        add(result.notices, flow.project());
    }
}

} // namespace

RunResult runScenario(const Scenario &scenario, StandState &state, const std::filesystem::path &logFile)
{
    std::error_code ec;
    std::filesystem::remove(logFile, ec); // the log is replaced
    return runScenario(scenario, state, LogFile(logFile));
}

RunResult runScenario(const Scenario &scenario, StandState &state, const LogFile &log)
{
    // The same road as the windows, with the options' boxes as the scenario gives them.
    SimulationFlow flow(state);
    flow.start(log);
    flow.typeOptions(scenario.options.year, scenario.options.stumpHeight);
    RunResult result;
    size_t step = 0; // the step being played, for a step the flow does not offer

    try {
        // Model options.
        const OptionsOutcome opts = flow.confirmOptions(scenario.options);
        if (!opts.accepted)
            return refused(opts.messages.front());

        // Stand data, then the density screen of the scenario's route.
        const bool unthinnedRoute = std::holds_alternative<UnthinnedDensity>(scenario.density);
        const StandDataOutcome standData = flow.chooseRoute(
            unthinnedRoute ? SimulationFlow::Route::Unthinned : SimulationFlow::Route::Thinned, scenario.stand);
        if (!standData.openDensityScreen)
            return refused(standData.messages.empty() ? Message::error("Dados Inválidos", "Dados Inválidos")
                                                      : standData.messages.front());
        if (unthinnedRoute) {
            const auto &d = std::get<UnthinnedDensity>(scenario.density);
            const DensityOutcome out = flow.confirmUnthinnedDensity(d.trees, d.choice);
            if (out.kind == DensityOutcome::Kind::AskToLeave)
                return refused(out.leave->question);
            if (out.kind == DensityOutcome::Kind::Refused)
                return refused(*out.message);
        } else {
            const ThinnedEntryOutcome out = flow.confirmThinnedEntry(std::get<ThinnedEntryInput>(scenario.density));
            if (out.kind == DensityOutcome::Kind::AskToLeave)
                return refused(out.leave->question);
            if (out.kind == DensityOutcome::Kind::Refused)
                return refused(*out.message);
        }
        if (auto warning = flow.confirmStandData())
            return refused(*warning);

        // The stand screens: each step is the button of the screen in front.
        add(result.notices, flow.loadStandScreen());
        if (scenario.rules) {
            playRules(flow, *scenario.rules, result);
            return result;
        }
        for (; step < scenario.steps.size(); ++step) {
            const ScenarioStep &s = scenario.steps[step];
            result.stepsTaken.push_back(s);
            switch (s.kind) {
            case ScenarioStep::Kind::Project:
                add(result.notices, flow.project());
                break;
            case ScenarioStep::Kind::Thin: {
                flow.openThinning();
                const ThinningOutcome out = flow.thin(s.thinning);
                if (out.kind != ThinningOutcome::Kind::ShowThinnedStand)
                    return refused(out.message ? *out.message : out.leave->question);
                break;
            }
            case ScenarioStep::Kind::Discard:
                flow.discardThinning();
                break;
            case ScenarioStep::Kind::End:
                add(result.notices, flow.end());
                return result;
            }
        }
        // Out of steps: "Terminar Simulação" on the screen in front.
        result.stepsTaken.push_back({ScenarioStep::Kind::End, {}});
        add(result.notices, flow.end());
    } catch (const SimulationFlow::NotAllowed &e) {
        // Refused as any entry the program does not take (status 2), naming the step.
        return refused(Message::error("Dados Inválidos", "steps[" + std::to_string(step) + "]: " + notAllowedText(e)));
    } catch (const ModelLimitError &e) {
        result.status = RunResult::Status::EndedByModel;
        result.message = Message::error(e.title(), e.text());
    } catch (const ModelInputError &e) {
        return refused(Message::error(e.title(), e.text()));
    }
    return result;
}

std::string recordCsv(const StandState &state)
{
    std::string out;
    for (int c = 0; c < kRecordColumns; ++c) {
        if (c > 0)
            out += ',';
        out += kRecordHeaders[c];
    }
    out += '\n';
    const int rows = recordRowCount(state);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kRecordColumns; ++c) {
            if (c > 0)
                out += ',';
            out += recordCellText(state.record[r][c]);
        }
        out += '\n';
    }
    return out;
}

std::string scenarioJson(const Scenario &s)
{
    auto qs = [](const std::string &t) { return QString::fromStdString(t); };
    QJsonObject options{{"volumes", s.options.withBark ? "com casca" : "sem casca"},
                        {"year", qs(s.options.year)},
                        {"sawlogMinDiameter", qs(s.options.sawlogMinDiameter)},
                        {"sawlogMinLength", qs(s.options.sawlogMinLength)},
                        {"stumpHeight", qs(s.options.stumpHeight)},
                        {"topDiameter", qs(s.options.topDiameter)}};
    QJsonObject stand{{"age", qs(s.stand.age)}};
    if (s.stand.mode == SiteInput::QualityClass && s.stand.qualityClass)
        stand.insert("qualityClass", QString::fromUtf8(captionOf(*s.stand.qualityClass)));
    else
        stand.insert("dominantHeight", qs(s.stand.dominantHeight));
    QJsonObject density;
    if (const auto *u = std::get_if<UnthinnedDensity>(&s.density)) {
        density.insert(u->choice == DensityChoice::Alive ? "alive" : "planted", qs(u->trees));
    } else {
        const auto &t = std::get<ThinnedEntryInput>(s.density);
        if (t.choice == ThinnedEntryChoice::Classes) {
            QJsonArray classes;
            for (const std::string &c : t.classes)
                classes.append(qs(c));
            density.insert("classes", classes);
        } else {
            density = QJsonObject{{"trees", qs(t.trees)},
                                  {"basalArea", qs(t.basalArea)},
                                  {"minDiameter", qs(t.minDiameter)},
                                  {"p95", qs(t.p95)}};
        }
    }
    QJsonObject root{{"options", options}, {"stand", stand}, {"density", density}};
    if (s.economics) {
        // "prices.sawlog" -> {"prices": {"sawlog": …}}
        QJsonObject section;
        for (const EconomicFieldInfo &info : kEconomicFields) {
            const std::string path = info.keyPath;
            const size_t dot = path.find('.');
            const QString value = qs((*s.economics)[info.field]);
            if (dot == std::string::npos) {
                section.insert(qs(path), value);
            } else {
                const QString group = qs(path.substr(0, dot));
                QJsonObject inner = section.value(group).toObject();
                inner.insert(qs(path.substr(dot + 1)), value);
                section.insert(group, inner);
            }
        }
        root.insert("economics", section);
    }
    QJsonDocument doc(root);
    if (!s.steps.empty())
        return regimeScenarioJson(doc.toJson(QJsonDocument::Compact).toStdString(), s.options.year, s.steps);
    return doc.toJson(QJsonDocument::Indented).toStdString();
}

std::string regimeScenarioJson(const std::string &standJson, const std::string &year,
                               const std::vector<ScenarioStep> &steps)
{
    QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(standJson)).object();
    root.remove(QStringLiteral("rules"));
    QJsonObject options = root.value("options").toObject();
    if (!options.contains("year"))
        options.insert("year", QString::fromStdString(year)); // the replay shows the same years
    root.insert("options", options);
    QJsonArray list;
    for (const ScenarioStep &s : steps) {
        switch (s.kind) {
        case ScenarioStep::Kind::Project: list.append("project"); break;
        case ScenarioStep::Kind::Discard: list.append("discard"); break;
        case ScenarioStep::Kind::End: list.append("end"); break;
        case ScenarioStep::Kind::Thin:
            if (s.thinning.choice == ScreenEntries::Thinning::Mechanical)
                list.append(QJsonObject{{"thin", "mechanical"},
                                        {"percent", QString::fromStdString(s.thinning.mechanicalPercent)}});
            else
                list.append(QJsonObject{{"thin", "below"},
                                        {"residualBasalArea", QString::fromStdString(s.thinning.residualBasalArea)}});
            break;
        }
    }
    root.insert("steps", list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace tavelo
