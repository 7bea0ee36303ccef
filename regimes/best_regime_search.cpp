#include "best_regime_search.h"

#include "base/numeric_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace tavelo {

const char *const kSearchTitle = "Procurar o Melhor Regime";

const std::array<SearchFieldInfo, kSearchFieldCount> kSearchFields = {{
    {SearchField::RotationFrom, "Idade de rotação, de (anos)", "txtRotacaoDe"},
    {SearchField::RotationTo, "Idade de rotação, até (anos)", "txtRotacaoAte"},
    {SearchField::MaxThinnings, "Número máximo de desbastes", "txtMaxDesbastes"},
    {SearchField::MinInterval, "Intervalo mínimo entre desbastes (anos)", "txtIntervaloMinimo"},
    {SearchField::FirstAge, "Idade mínima do primeiro desbaste (anos)", "txtPrimeiraIdade"},
    {SearchField::Mechanical, "Desbaste mecânico (% de árvores)", "txtMecanico"},
    {SearchField::Below, "Desbaste pelo baixo (área basal residual, m2/ha)", "txtPeloBaixo"},
}};

const std::array<ObjectiveChoice, 4> kObjectiveChoices = {{
    {Objective::Npv, "VAL"},
    {Objective::Lev, "VES"},
    {Objective::Volume, "Volume"},
    {Objective::Sawlog, "Madeira"},
}};

const std::array<const char *, 9> kRankingHeaders = {"N.º",    "Valor",   "VAL",     "VAE",   "VES",
                                                     "Volume", "Madeira", "Rotação", "Regime"};

namespace {

QString qs(const std::string &s) { return QString::fromStdString(s); }

// What each box must hold, as the box says it to the user.
const char *ruleOf(SearchField f)
{
    switch (f) {
    case SearchField::RotationFrom: return "A idade de rotação inicial tem de ser um número maior que 0.";
    case SearchField::RotationTo: return "A idade de rotação final tem de ser um número não inferior à inicial.";
    case SearchField::MaxThinnings: return "O número máximo de desbastes tem de ser um número inteiro de 0 a 30.";
    case SearchField::MinInterval: return "O intervalo mínimo entre desbastes tem de ser um número não negativo.";
    case SearchField::FirstAge: return "A idade mínima do primeiro desbaste tem de ser um número.";
    case SearchField::Mechanical:
        return "As percentagens do desbaste mecânico têm de ser números entre 15 e 50, sem repetições.";
    case SearchField::Below:
        return "As áreas basais residuais do desbaste pelo baixo têm de ser números maiores que 0, sem repetições.";
    }
    return "";
}

// The box of a search space key; a space without intensities is mended in
// the mechanical thinning's box.
SearchField fieldOf(const std::optional<SearchSpaceKey> &key)
{
    if (!key)
        return SearchField::Mechanical;
    switch (*key) {
    case SearchSpaceKey::RotationFrom: return SearchField::RotationFrom;
    case SearchSpaceKey::RotationTo: return SearchField::RotationTo;
    case SearchSpaceKey::MaxThinnings: return SearchField::MaxThinnings;
    case SearchSpaceKey::MinInterval: return SearchField::MinInterval;
    case SearchSpaceKey::FirstAge: return SearchField::FirstAge;
    case SearchSpaceKey::Mechanical: return SearchField::Mechanical;
    case SearchSpaceKey::Below: return SearchField::Below;
    }
    return SearchField::Mechanical;
}

QJsonArray textArray(const std::vector<std::string> &items)
{
    QJsonArray a;
    for (const std::string &s : items)
        a.append(qs(s));
    return a;
}

std::string money(const std::optional<double> &v) { return v ? formatFixed(*v, 2) : std::string("—"); }

} // namespace

std::vector<std::string> splitTypedList(const std::string &text)
{
    std::vector<std::string> out;
    std::string piece;
    for (char c : text + ' ') {
        if (c == ',' || c == ' ' || c == '\t' || c == ';') {
            if (!piece.empty())
                out.push_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    return out;
}

std::variant<SearchSpace, SearchSpaceRefusal> readSearchSpace(const SearchSpaceTexts &texts)
{
    // The form says what a search space file says: the same reading checks both.
    auto put = [&](QJsonObject &o, const char *key, SearchField f) {
        if (!texts[f].empty())
            o.insert(QLatin1String(key), qs(texts[f]));
    };
    QJsonObject rotation, thinnings;
    put(rotation, "from", SearchField::RotationFrom);
    put(rotation, "to", SearchField::RotationTo);
    put(thinnings, "max", SearchField::MaxThinnings);
    put(thinnings, "minInterval", SearchField::MinInterval);
    put(thinnings, "firstAge", SearchField::FirstAge);
    const std::vector<std::string> mechanical = splitTypedList(texts[SearchField::Mechanical]);
    const std::vector<std::string> below = splitTypedList(texts[SearchField::Below]);
    thinnings.insert("mechanical", textArray(mechanical));
    thinnings.insert("below", textArray(below));
    const QJsonObject root{{"rotation", rotation}, {"thinnings", thinnings}};
    auto read = parseSearchSpace(QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString());
    if (auto *space = std::get_if<SearchSpace>(&read))
        return std::move(*space);

    const SearchSpaceError &error = std::get<SearchSpaceError>(read);
    const SearchField field = fieldOf(error.key);
    std::string text = ruleOf(field);
    if (error.problem.kind == ReadProblem::Kind::NoIntensity) {
        text = "Indique pelo menos uma intensidade de desbaste, mecânico ou pelo baixo.";
    } else if (error.item) {
        const std::vector<std::string> &items = field == SearchField::Mechanical ? mechanical : below;
        if (*error.item < items.size())
            text = "\"" + items[*error.item] + "\" não é aceite. " + text;
    }
    return SearchSpaceRefusal{field, Message::warning(kSearchTitle, text)};
}

bool objectiveNeedsPrices(Objective objective)
{
    return objective == Objective::Npv || objective == Objective::Lev;
}

std::optional<SearchStand> searchStandOf(const EnteredStand &entered, const std::optional<EconomicTexts> &economics)
{
    if (!entered.complete())
        return std::nullopt;
    SearchStand out;
    Scenario &s = out.scenario;
    s.options = *entered.options;
    s.stand = *entered.stand;
    s.economics = economics;
    out.year = s.options.year;
    if (const auto *u = std::get_if<EnteredStand::Unthinned>(&entered.density))
        s.density = UnthinnedDensity{u->choice, u->trees};
    else
        s.density = std::get<ThinnedEntryInput>(entered.density);
    out.json = scenarioJson(s);
    return out;
}

std::vector<std::array<std::string, 9>> rankingTable(const std::vector<RankedRegime> &best)
{
    std::vector<std::array<std::string, 9>> rows;
    for (size_t i = 0; i < best.size(); ++i) {
        const RankedRegime &r = best[i];
        rows.push_back({std::to_string(i + 1), formatFixed(r.objective, 2), money(r.npv), money(r.eaa), money(r.lev),
                        formatFixed(r.volumes.total, 2), formatFixed(r.volumes.sawlog, 2),
                        plainNumberText(r.rotationAge), scheduleText(r.thinnings)});
    }
    return rows;
}

namespace {

// Why the search did not start, in the window's words.
std::string refusalSentence(const OptimizeResult &result)
{
    using Refusal = OptimizeResult::Refusal;
    switch (result.refusal) {
    case Refusal::None: break;
    case Refusal::NoRotationAge:
        return "Nenhuma idade de rotação do intervalo coincide com um ecran do povoamento (de 5 em 5 anos a partir "
               "da sua idade).";
    case Refusal::BeyondLimit:
        return "O espaço de procura tem demasiados regimes para este povoamento: reduza-o (menos idades de "
               "rotação, desbastes ou intensidades).";
    case Refusal::NeedsEconomics:
        return "O VAL e o VES precisam dos preços e custos da avaliação económica: calcule-a primeiro.";
    case Refusal::LevNeedsPlanting:
        return "O VES só existe para um povoamento introduzido pelas árvores plantadas e com uma taxa de "
               "actualização acima de 0.";
    case Refusal::NeedsCarbonFactors: return "O objectivo carbono precisa dos factores do balanço de carbono.";
    case Refusal::NoFiniteValue:
        return "Nenhum regime viável tem um valor finito do objectivo com esta taxa de actualização.";
    }
    return "O povoamento não pode ser usado na procura.";
}

} // namespace

SearchOutcome searchOutcome(const OptimizeResult &result)
{
    SearchOutcome out;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", result.seconds);
    using Status = OptimizeResult::Status;
    switch (result.status) {
    case Status::Refused:
        // The stand's own refusal is shown as its screens show it.
        if (result.refusal == OptimizeResult::Refusal::None && result.message)
            out.message = result.message;
        else
            out.message = Message::warning(kSearchTitle, refusalSentence(result));
        return out;
    case Status::Cancelled:
        out.summary = "Procura cancelada: " + std::to_string(result.evaluated) + " regimes avaliados.";
        return out;
    case Status::Infeasible: {
        std::string text = "Nenhum regime do espaço de procura fica dentro do modelo.";
        if (result.message)
            text += "\n\n" + result.message->title + ": " + result.message->text;
        out.message = Message::warning(kSearchTitle, text);
        break;
    }
    case Status::Done: break;
    }
    out.summary = std::to_string(result.evaluated) + " regimes avaliados: " + std::to_string(result.feasible) +
                  " viáveis, " + std::to_string(result.endedByModel) + " terminados pelo modelo; " + seconds + " s";
    return out;
}

std::string rankedRegimeJson(const SearchStand &stand, const RankedRegime &regime)
{
    return regimeScenarioJson(stand.json, stand.year, regime.steps);
}

} // namespace tavelo
