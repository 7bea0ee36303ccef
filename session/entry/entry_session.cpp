#include "entry_session.h"

#include "base/numeric_text.h"
#include "model/growth_model.h"

#include <cmath>

namespace tavelo {

namespace {

constexpr const char *kDadosInvalidos = "Dados Inválidos";
constexpr const char *kInsuficiencia = "Insuficiência de Dados";
constexpr const char *kInsuficienciaDots = "Insuficiência de Dados...";
constexpr const char *kFillEverything = "Para continuar necessita de preencher todos os requesitos.";

LeaveQuestion leaveQuestion(const char *question, const char *reminder)
{
    // The reminder carries Yes and No but no icon; its answer changes nothing.
    return {Message::question(kInsuficienciaDots, question),
            Message{Message::Icon::None, Message::Buttons::YesNo, kInsuficienciaDots, reminder}};
}

Message refusal(const ModelInputError &e)
{
    return Message::error(e.title(), e.text());
}

} // namespace

// --- Model options -------------------------------------------------------------

OptionsOutcome confirmOptions(StandState &state, const OptionsInput &in)
{
    OptionsOutcome out;
    state.withBark = in.withBark ? 1.0 : 0.0;

    const std::optional<double> year = parseNumber(in.year);
    if (!year || !(*year > 0.0)) {
        out.messages.push_back(Message::warning(kDadosInvalidos, "Data Inválida"));
        return out;
    }

    const std::array<const std::string *, 4> texts = {&in.sawlogMinDiameter, &in.sawlogMinLength, &in.stumpHeight,
                                                      &in.topDiameter};
    const std::array<StateValue *, 4> slots = {&state.sawlogMinDiameter, &state.sawlogMinLength, &state.stumpHeight,
                                               &state.topDiameter};
    std::array<std::optional<double>, 4> values;
    bool allNumeric = true;
    for (size_t i = 0; i < texts.size(); ++i) {
        values[i] = parseNumber(*texts[i]);
        allNumeric = allNumeric && values[i].has_value();
    }

    if (allNumeric) {
        // A dimension of zero or below would leave the volumes without a value:
        // refuse it instead of silently keeping the old one.
        bool negative = false;
        bool zero = false;
        for (const auto &v : values) {
            negative = negative || *v < 0.0;
            zero = zero || *v == 0.0;
        }
        if (negative || zero) {
            out.messages.push_back(Message::warning(
                kDadosInvalidos, negative ? "Parâmetros negativos não são aceitáveis..." : kDadosInvalidos));
            return out;
        }
    }

    state.currentYear.setText(in.year);
    for (size_t i = 0; i < texts.size(); ++i) {
        if (!values[i]) {
            // A dimension that is not a number: the ones before it stay stored.
            out.messages.push_back(Message::warning(kDadosInvalidos, kDadosInvalidos));
            return out;
        }
        // Only a positive dimension is ever stored (a box that is not a number may
        // come after a negative one).
        if (*values[i] > 0.0)
            *slots[i] = *values[i];
    }
    out.accepted = true;
    return out;
}

// --- Stand data ------------------------------------------------------------------

int siteIndexOf(QualityClass q)
{
    switch (q) {
    case QualityClass::MuitoElevada: return 23;
    case QualityClass::Elevada: return 19;
    case QualityClass::Media: return 15;
    case QualityClass::Baixa: return 11;
    case QualityClass::MuitoBaixa: return 7;
    }
    return 0;
}

const char *captionOf(QualityClass q)
{
    switch (q) {
    case QualityClass::MuitoElevada: return "Muito Elevada";
    case QualityClass::Elevada: return "Elevada";
    case QualityClass::Media: return "Média";
    case QualityClass::Baixa: return "Baixa";
    case QualityClass::MuitoBaixa: return "Muito Baixa";
    }
    return "";
}

std::optional<QualityClass> qualityClassFromCaption(const std::string &caption)
{
    for (QualityClass q : {QualityClass::MuitoElevada, QualityClass::Elevada, QualityClass::Media, QualityClass::Baixa,
                           QualityClass::MuitoBaixa})
        if (caption == captionOf(q))
            return q;
    return std::nullopt;
}

StandButtons ageRule(SiteInput mode, const std::string &ageText, StandButtons current)
{
    const std::optional<double> age = parseNumber(ageText);
    StandButtons b = current;
    b.classFrameEnabled.reset();
    switch (mode) {
    case SiteInput::DominantHeight:
        b.classFrameEnabled = false;
        if (!age) {
            b.thinned = b.unthinned = false;
        } else if (*age >= 10.0 && *age <= 15.0) {
            b.thinned = b.unthinned = true;
        } else if (*age > 15.0) {
            b.thinned = true;
            b.unthinned = false;
        } else {
            b.thinned = b.unthinned = false;
        }
        break;
    case SiteInput::QualityClass:
        if (!age) {
            b.thinned = b.unthinned = false;
        } else if (*age > 15.0) {
            b.thinned = true;
            b.unthinned = false;
        } else {
            b.thinned = b.unthinned = true;
        }
        break;
    case SiteInput::None:
        b.classFrameEnabled = true;
        break;
    }
    return b;
}

std::optional<Message> standDataLoadMessage(const StandState &state)
{
    if (state.withBark.isEmptyOrNull())
        return Message::warning(kInsuficiencia,
                                "Para continuar tem que preencher correctamente os parâmetros do povoamento");
    return std::nullopt;
}

Messages storeStandData(StandState &state, const StandDataInput &in)
{
    Messages shown;
    if (const auto age = parseNumber(in.age)) {
        state.standAge = *age;
    } else {
        shown.push_back(Message::error(kInsuficiencia,
                                       "Para continuar necessita de preencher correctamente a idade do povoamento"));
        // The site equations need an age; without one there is nothing to compute.
        if (!state.standAge.isGiven())
            return shown;
    }

    try {
        if (in.mode == SiteInput::DominantHeight) {
            const auto h = parseNumber(in.dominantHeight);
            // A dominant height of zero or below describes no stand on either route.
            if (!h || !(*h > 0.0)) {
                shown.push_back(Message::error(
                    kInsuficiencia, "Para continuar necessita de preencher correctamente a altura dominante..."));
                return shown;
            }
            const double s = SiteIndexFromHeight(state.standAge.value(), *h);
            state.dominantHeight = *h;
            state.siteIndex = s;
        } else {
            if (!in.qualityClass) {
                shown.push_back(Message::error(
                    kInsuficiencia, "Para continuar necessita de preencher correctamente a Classe de qualidade..."));
                return shown;
            }
            const double s = siteIndexOf(*in.qualityClass);
            const double h = DominantHeightAtAge(state.standAge.value(), s);
            state.siteIndex = s;
            state.dominantHeight = h;
        }
    } catch (const ModelInputError &e) {
        // An age of zero or below has no dominant height.
        shown.push_back(refusal(e));
    }
    return shown;
}

StandDataOutcome standDataButton(StandState &state, const StandDataInput &in)
{
    StandDataOutcome out;
    out.messages = storeStandData(state, in);
    out.openDensityScreen = out.messages.empty() && state.standAge.isGiven() && state.dominantHeight.isGiven() &&
                            state.siteIndex.isGiven();
    return out;
}

std::optional<Message> confirmStandData(const StandState &state)
{
    if (state.enteredUnthinned.isEmptyOrNull())
        return Message::warning(kInsuficiencia,
                                "Para continuar tem que preencher correctamente os dados do povoamento "
                                "(idade/Altura dominante ou Classe Qualidade/desbastado ou não desbastado)");
    if (state.withBark.isEmptyOrNull())
        return Message::warning(kInsuficiencia,
                                "Para continuar tem que preencher correctamente os parâmetros do povoamento");
    return std::nullopt;
}

void cancelStandData(StandState &state)
{
    for (StateValue *v : {&state.standAge, &state.siteIndex, &state.dominantHeight, &state.enteredUnthinned,
                          &state.treesAlive, &state.treesPlanted, &state.basalArea, &state.minDiameter, &state.weibullA,
                          &state.weibullB, &state.weibullC})
        v->setNull();
    state.enteredPlanted = false;
}

// --- Never-thinned stand ------------------------------------------------------------

DensityOutcome confirmUnthinnedDensity(StandState &state, const std::string &treesText, DensityChoice choice)
{
    DensityOutcome out;
    const bool empty = treesText.empty();
    const std::optional<double> number = parseNumber(treesText);
    if (!empty && !number) {
        out.message = Message::error(kDadosInvalidos, kDadosInvalidos);
        return out;
    }
    if (empty) {
        out.kind = DensityOutcome::Kind::AskToLeave;
        out.leave = leaveQuestion("Não preencheu todos os requesitos. Deseja sair deste ecran?", kFillEverything);
        return out;
    }
    // Counts are whole trees in a 16-bit field; a stand needs at least one.
    const std::optional<int16_t> count = toInt16HalfEven(*number);
    if (*number < 0.0 || !count || *count <= 0) {
        out.message = Message::error(kDadosInvalidos, kDadosInvalidos);
        return out;
    }
    if (choice == DensityChoice::None) {
        out.message = Message::error(kDadosInvalidos, "Escolha o nº de árvores plantadas ou o nº de árvores vivas");
        return out;
    }

    // Work on a copy so that a refused stand leaves nothing half stored.
    StandState next = state;
    next.enteredUnthinned = 1.0;
    next.enteredPlanted = choice == DensityChoice::Planted;
    if (choice == DensityChoice::Alive) {
        next.treesAlive = static_cast<double>(*count);
        next.treesPlanted.setNull();
        next.basalArea.setNull();
    } else {
        next.treesAlive.setNull();
        next.basalArea.setNull();
        next.treesPlanted = static_cast<double>(*count);
    }
    for (StateValue *v : {&next.minDiameter, &next.weibullA, &next.weibullB, &next.weibullC})
        v->setNull();
    try {
        const UnthinnedStand stand = InitUnthinnedStand(
            {next.standAge.value(), next.siteIndex.value(), next.dominantHeight.value(), next.treesAlive.given(),
             next.treesPlanted.given()});
        next.treesAlive = stand.stand.trees;
        next.treesPlanted = stand.treesPlanted;
        next.basalArea = stand.stand.basalArea;
        next.minDiameter = stand.minDiameter;
        next.weibullA = stand.stand.a;
        next.weibullB = stand.stand.b;
        next.weibullC = stand.stand.c;
    } catch (const ModelInputError &e) {
        out.message = refusal(e);
        return out;
    }
    state = std::move(next);
    out.kind = DensityOutcome::Kind::Stored;
    return out;
}

// --- Thinned stand ------------------------------------------------------------------

ThinnedEntryOutcome confirmThinnedEntry(StandState &state, ScreenEntries &entries, const ThinnedEntryInput &in)
{
    ThinnedEntryOutcome out;
    if (in.choice == ThinnedEntryChoice::None) {
        out.kind = DensityOutcome::Kind::AskToLeave;
        out.leave = leaveQuestion("Como não introduziu dados,quer sair deste ecran?", kFillEverything);
        return out;
    }

    if (in.choice == ThinnedEntryChoice::Parameters) {
        const auto refuse = [&] {
            out.message = Message::error(kDadosInvalidos, "Parâmetros do povoamento Inválidos");
            return out;
        };
        const auto trees = parseNumber(in.trees);
        const auto g = parseNumber(in.basalArea);
        const auto dmin = parseNumber(in.minDiameter);
        const auto p95 = parseNumber(in.p95);
        if (!trees || !g || !dmin || !p95 || *trees < 0.0 || *g < 0.0 || *dmin < 0.0 || *p95 < 0.0)
            return refuse();
        if (*g > kMaxBasalArea)
            throw ModelLimitError(kTitleDadosInconsistentes, kTextNoConvergenceNoBlank);
        // A stand without trees or basal area, or whose percentile does not lie
        // above the distribution's lower end, has no diameter distribution.
        const double a = 0.9 * *dmin;
        if (!(*trees > 0.0) || !(*g > 0.0) || !(*p95 > a))
            return refuse();
        const auto [c, b] = WeibullFromPercentile(*g, *trees, a, *p95);
        if (!std::isfinite(b) || !(b > 0.0))
            return refuse();

        state.treesAlive = std::ceil(*trees); // a whole count stays as typed, a fraction goes up
        state.basalArea = *g;
        state.minDiameter = *dmin;
        state.weibullA = a;
        state.weibullC = c;
        state.weibullB = b;
        state.enteredUnthinned = 0.0;
        state.enteredPlanted = false;
        entries.thinnedByParameters = true;
        entries.typedBasalAreaText = in.basalArea;
        entries.typedP95Text = in.p95;
        out.kind = DensityOutcome::Kind::Stored;
        return out;
    }

    // Trees per diameter class.
    std::array<int, kDiameterClasses> n{};
    for (size_t k = 0; k < in.classes.size(); ++k) {
        const std::string &t = in.classes[k];
        if (t.empty())
            continue;
        const auto v = parseNumber(t);
        const auto count = v ? toInt16HalfEven(*v) : std::nullopt;
        if (!v || *v < 0.0 || !count) {
            out.message = Message::error(kDadosInvalidos, "Nº de árvores inválido!");
            return out;
        }
        n[k] = *count;
    }
    std::array<std::string, 13> texts = in.classes;
    for (std::string &t : texts)
        if (t.empty())
            t.push_back('0'); // not `t = "0"`: GCC 12 warns falsely about it when optimising
    out.classTexts = texts;

    bool anyTree = false;
    for (int v : n)
        anyTree = anyTree || v != 0;
    if (!anyTree) {
        out.message = Message::error(kDadosInvalidos, "Para continuar tem que introduzir nº de árvores em cada classe de dap");
        return out;
    }
    const ClassStatistics stand = StatisticsOfClasses(n);
    if (stand.basalArea > kMaxBasalArea)
        throw ModelLimitError::outside(false);
    const double a = 0.9 * stand.minDiameter;
    const auto [c, b] = WeibullFromPercentile(stand.basalArea, stand.trees, a, stand.percentile);

    state.treesAlive = stand.trees;
    state.basalArea = stand.basalArea;
    state.minDiameter = stand.minDiameter;
    state.weibullA = a;
    state.weibullC = c;
    state.weibullB = b;
    state.enteredUnthinned = 0.0;
    state.enteredPlanted = false;
    entries.thinnedByParameters = false;
    out.kind = DensityOutcome::Kind::Stored;
    return out;
}

// --- Thinning dialogue ----------------------------------------------------------------

std::optional<Message> thinningIntensityRefusal(const ThinningInput &in)
{
    if (in.choice == ScreenEntries::Thinning::Mechanical) {
        const auto p = parseNumber(in.mechanicalPercent);
        if (!p || *p < 15.0 || *p > 50.0)
            return Message::warning("Dados inválidos", "A % de árv. a retirar deve ter valores entre 15 e 50 %");
    } else if (in.choice == ScreenEntries::Thinning::FromBelow && !parseNumber(in.residualBasalArea)) {
        return Message::warning("Dados inválidos", "A área basal residual tem dados inválidos");
    }
    return std::nullopt;
}

ThinningOutcome confirmThinning(StandState &state, ScreenEntries &entries, const ThinningInput &in)
{
    ThinningOutcome out;
    using Thinning = ScreenEntries::Thinning;
    if (in.choice == Thinning::None) {
        out.kind = ThinningOutcome::Kind::AskToLeave;
        out.leave = leaveQuestion("Não fez a opção de desbaste. Deseja sair deste ecran?",
                                  "Para continuar necessita de escolher um tipo e intensidade de desbaste.");
        return out;
    }

    const WeibullStand current{state.treesAlive.value(), state.basalArea.value(), state.weibullA.value(),
                               state.weibullB.value(), state.weibullC.value()};
    WeibullStand residual;
    double u = state.enteredUnthinned.value();
    if (auto refusal = thinningIntensityRefusal(in)) {
        out.message = std::move(refusal);
        return out;
    }
    if (in.choice == Thinning::Mechanical) {
        residual = ThinMechanical(current, *parseNumber(in.mechanicalPercent) / 100.0);
    } else {
        const auto target = parseNumber(in.residualBasalArea);
        const double g = state.basalArea.value();
        if (*target < 0.5 * g || *target > 0.75 * g) {
            out.message = Message::warning(
                "Dados inválidos - A AB residual deve ter valores entre 50 e 75 % da AB do povoamento",
                "Neste caso, a área basal residual deve ter valores entre " + formatFixed(0.5 * g, 2) + " e " +
                    formatFixed(0.75 * g, 2) + " m2/ha");
            return out;
        }
        try {
            const ThinnedFromBelow thinned = ThinFromBelow(
                {state.standAge.value(), state.siteIndex.value(), current, state.minDiameter.value(), u, *target});
            residual = thinned.residual;
            u = thinned.enteredUnthinned;
        } catch (const ModelInputError &e) {
            out.message = refusal(e);
            return out;
        }
    }
    if (residual.basalArea > kMaxBasalArea)
        throw ModelLimitError::outside(false);

    state.residualBasalArea = residual.basalArea;
    state.residualWeibullA = residual.a;
    state.residualWeibullB = residual.b;
    state.residualWeibullC = residual.c;
    state.residualTrees = residual.trees;
    if (in.choice == Thinning::FromBelow)
        state.enteredUnthinned = u;
    entries.thinning = in.choice;
    entries.mechanicalPercentText = in.choice == Thinning::Mechanical ? in.mechanicalPercent : std::string();
    entries.residualBasalAreaText = in.choice == Thinning::FromBelow ? in.residualBasalArea : std::string();
    out.kind = ThinningOutcome::Kind::ShowThinnedStand;
    return out;
}

} // namespace tavelo
