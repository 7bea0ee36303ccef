#pragma once

#include <string>

namespace tavelo {

// What later screens read from the entries of earlier screens, as those entries
// stand: the cutting height and year typed on the options screen, how a thinned
// stand was entered, and the kind and intensity typed on the thinning screen.
// The screens keep it current; the command-line runner fills it from a scenario.
struct ScreenEntries {
    // Options screen (kept as typed: "0.15", "0.150" and ".15" give different titles).
    std::string stumpHeightText = "0.15";
    std::string yearText;

    // Thinned-stand screen: entered by its stand parameters, with the typed
    // basal area and 95th percentile.
    bool thinnedByParameters = false;
    std::string typedBasalAreaText;
    std::string typedP95Text;

    // Thinning screen: the kind chosen and the intensity as typed.
    enum class Thinning { None, Mechanical, FromBelow };
    Thinning thinning = Thinning::None;
    std::string mechanicalPercentText;
    std::string residualBasalAreaText;
};

} // namespace tavelo
