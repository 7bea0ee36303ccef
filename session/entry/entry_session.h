#pragma once

// What the entry screens decide: the model options, the stand data, the density
// of a never-thinned or a thinned stand and the thinning dialogue. Each call
// takes the texts and choices as typed and returns what to show. A model limit
// (the simulation must end) is thrown as ModelLimitError.

#include "base/message.h"
#include "session/entry/screen_entries.h"
#include "model/stand_state.h"

#include <array>
#include <optional>
#include <string>

namespace tavelo {

// --- Model options -------------------------------------------------------------

struct OptionsInput {
    bool withBark = true;
    std::string year;
    std::string sawlogMinDiameter = "20.0";
    std::string sawlogMinLength = "2.30";
    std::string stumpHeight = "0.15";
    std::string topDiameter = "7";
};

struct OptionsOutcome {
    bool accepted = false; // enable "Simulação" and hide the options screen
    Messages messages;     // shown in order (warning boxes)
};

OptionsOutcome confirmOptions(StandState &state, const OptionsInput &in);

// --- Stand data ------------------------------------------------------------------

enum class SiteInput { DominantHeight, QualityClass, None };
enum class QualityClass { MuitoElevada, Elevada, Media, Baixa, MuitoBaixa };

int siteIndexOf(QualityClass q);
const char *captionOf(QualityClass q);
std::optional<QualityClass> qualityClassFromCaption(const std::string &caption);

// Whether the stand-data buttons can be pressed.
struct StandButtons {
    bool thinned = false;   // "Dados povoamento desbastado"
    bool unthinned = false; // "Dados povoamento não desbastado"
    std::optional<bool> classFrameEnabled; // set when the rule changes the class frame
};

// The age rule, run on every change of the age text.
StandButtons ageRule(SiteInput mode, const std::string &ageText, StandButtons current);

// Shown when the stand data screen opens before the options were confirmed.
std::optional<Message> standDataLoadMessage(const StandState &state);

struct StandDataInput {
    std::string age;
    SiteInput mode = SiteInput::DominantHeight;
    std::string dominantHeight;
    std::optional<QualityClass> qualityClass;
};

// Fills age, dominant height and site index; returns the error boxes shown.
Messages storeStandData(StandState &state, const StandDataInput &in);

// A stand-data button: the boxes to show and whether the density screen opens.
struct StandDataOutcome {
    Messages messages;
    bool openDensityScreen = false;
};
StandDataOutcome standDataButton(StandState &state, const StandDataInput &in);

// "&Ok" of the stand data screen: a warning, or nothing when the stand screen opens.
std::optional<Message> confirmStandData(const StandState &state);
// "Cancelar": the stand description becomes null; options stay.
void cancelStandData(StandState &state);

// --- Question flow shared by the density and thinning screens ---------------------

// A screen that asks "leave this screen?" when nothing was entered: Yes leaves,
// No shows a reminder with Yes and No whose answer is ignored.
struct LeaveQuestion {
    Message question;
    Message reminder;
};

// --- Never-thinned stand ------------------------------------------------------------

enum class DensityChoice { None, Planted, Alive };

struct DensityOutcome {
    enum class Kind { Stored, Refused, AskToLeave };
    Kind kind = Kind::Refused;
    std::optional<Message> message;      // Refused
    std::optional<LeaveQuestion> leave;  // AskToLeave
};

DensityOutcome confirmUnthinnedDensity(StandState &state, const std::string &treesText, DensityChoice choice);

// --- Thinned stand ------------------------------------------------------------------

enum class ThinnedEntryChoice { None, Parameters, Classes };

struct ThinnedEntryInput {
    ThinnedEntryChoice choice = ThinnedEntryChoice::None;
    std::string trees;
    std::string basalArea;
    std::string minDiameter;
    std::string p95;
    std::array<std::string, 13> classes;
};

struct ThinnedEntryOutcome {
    DensityOutcome::Kind kind = DensityOutcome::Kind::Refused;
    std::optional<Message> message;
    std::optional<LeaveQuestion> leave;
    // The class boxes after the entry: empty boxes get "0" once every box passed.
    std::optional<std::array<std::string, 13>> classTexts;
};

ThinnedEntryOutcome confirmThinnedEntry(StandState &state, ScreenEntries &entries, const ThinnedEntryInput &in);

// --- Thinning dialogue ----------------------------------------------------------------

struct ThinningInput {
    ScreenEntries::Thinning choice = ScreenEntries::Thinning::None;
    std::string mechanicalPercent;
    std::string residualBasalArea;

    // The kind chosen with its intensity as typed.
    static ThinningInput mechanical(std::string percent)
    {
        return {ScreenEntries::Thinning::Mechanical, std::move(percent), {}};
    }
    static ThinningInput fromBelow(std::string residualBasalArea)
    {
        return {ScreenEntries::Thinning::FromBelow, {}, std::move(residualBasalArea)};
    }
};

struct ThinningOutcome {
    enum class Kind { ShowThinnedStand, Refused, AskToLeave };
    Kind kind = Kind::Refused;
    std::optional<Message> message;
    std::optional<LeaveQuestion> leave;
};

// What confirmThinning refuses whatever the stand: a mechanical percentage
// outside 15 to 50, a residual basal area that is not a number (its range is
// the stand's). A regime is checked with it before any stand is played.
std::optional<Message> thinningIntensityRefusal(const ThinningInput &in);

// Computes the residual stand into the residual values and records the kind and
// intensity for the after-thinning screen.
ThinningOutcome confirmThinning(StandState &state, ScreenEntries &entries, const ThinningInput &in);

} // namespace tavelo
