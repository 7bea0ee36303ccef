#pragma once

// The boxes of the valuation, carbon and best-regime windows, found by the
// objectName that each field's table gives, as a user's script finds them;
// and the valuation window of a finished simulation, as the tests open it.

#include "regimes/best_regime_search.h"
#include "session/results/carbon.h"
#include "screens/results/economics_screen.h"
#include "screens/results/end_screen.h"
#include "session/results/economics.h"
#include "support/flow_test_support.h"
#include "support/gestures.h"
#include "support/widget_lookup.h"

#include <QLineEdit>
#include <QString>

namespace tavelo::testing {

inline QLineEdit *fieldBox(const QObject *window, EconomicField f)
{
    return widget<QLineEdit>(window, economicFieldInfo(f).name);
}

inline QLineEdit *fieldBox(const QObject *window, CarbonField f)
{
    return widget<QLineEdit>(window, carbonFieldInfo(f).name);
}

inline QLineEdit *fieldBox(const QObject *window, SearchField f)
{
    return widget<QLineEdit>(window, kSearchFields[static_cast<size_t>(f)].name);
}

// The prices and costs of the guide's example typed into the valuation window.
inline void typeValuationExample(const QObject *w, const QString &annual = QStringLiteral("15"),
                                 const QString &rate = QStringLiteral("3"))
{
    typeInto(fieldBox(w, EconomicField::SawlogPrice), QStringLiteral("45"));
    typeInto(fieldBox(w, EconomicField::RoundwoodPrice), QStringLiteral("30"));
    typeInto(fieldBox(w, EconomicField::FirewoodPrice), QStringLiteral("8"));
    typeInto(fieldBox(w, EconomicField::ThinningCost), QStringLiteral("250"));
    typeInto(fieldBox(w, EconomicField::FinalFellingCost), QStringLiteral("400"));
    typeInto(fieldBox(w, EconomicField::CostPerCubicMetre), QStringLiteral("4"));
    typeInto(fieldBox(w, EconomicField::AnnualCost), annual);
    typeInto(fieldBox(w, EconomicField::EstablishmentCost), QStringLiteral("1200"));
    typeInto(fieldBox(w, EconomicField::DiscountRate), rate);
}

// "Avaliação económica" pressed on the stand's "Terminar" window.
inline EconomicsScreen *openValuation(FlowHarness &h)
{
    if (!press(widget<QPushButton>(h.window<EndScreen>("Terminar"), "cmdAvaliacaoEconomica")))
        return nullptr;
    return h.window<EconomicsScreen>("frmEconomia");
}

// The same window with the guide's example typed and valued.
inline EconomicsScreen *valuedWindow(FlowHarness &h)
{
    EconomicsScreen *w = openValuation(h);
    if (!w)
        return nullptr;
    typeValuationExample(w);
    return press(widget<QPushButton>(w, "cmdCalcular")) ? w : nullptr;
}

} // namespace tavelo::testing
