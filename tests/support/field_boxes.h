#pragma once

// The boxes of the valuation, carbon and best-regime windows, found by the
// objectName that each field's table gives, as a user's script finds them.

#include "regimes/best_regime_search.h"
#include "session/results/carbon.h"
#include "session/results/economics.h"
#include "support/widget_lookup.h"

#include <QLineEdit>

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

} // namespace tavelo::testing
