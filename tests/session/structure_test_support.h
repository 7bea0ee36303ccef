#pragma once

// Stand states and hand-made tables for the structure tests.

#include "session/entry/entry_session.h"
#include "model/growth_model.h"
#include "session/structure/stand_table.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace tavelo::test {

namespace fs = std::filesystem;


// The options confirmed with their defaults, year 2026, and a site of class 15.
inline StandState tableState()
{
    StandState s;
    OptionsInput in;
    in.year = "2026";
    EXPECT_TRUE(confirmOptions(s, in).accepted);
    s.siteIndex = 15.0;
    s.enteredUnthinned = 1.0;
    return s;
}

inline TableStand weibullStand(double a, double b, double c, double trees, double age = 30.0, double hdom = 15.0,
                               double basalArea = 25.0)
{
    return {age, hdom, trees, basalArea, a, b, c, 1.0};
}

// The Weibull distribution function, written out here independently of the model.
inline double cdf(double a, double b, double c, double x)
{
    return x <= a ? 0.0 : 1.0 - std::exp(-std::pow((x - a) / b, c));
}

inline std::string whole(double v) { return std::to_string(std::lround(v)); }

inline std::string fixed(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A table as a screen shows it, made by hand: the header row, the class rows
// given and the Total row.
inline StandTable handTable(std::vector<TableRow> classRows, TableRow total)
{
    StandTable t;
    TableRow header;
    for (int i = 0; i < kStandTableColumns; ++i)
        header[i] = kStandTableHeaders[i];
    t.rows.push_back(header);
    for (TableRow &r : classRows)
        t.rows.push_back(std::move(r));
    t.rows.push_back(std::move(total));
    return t;
}

// A never-thinned stand of 1500 planted trees at 12 years and 9 m, ready for its stand screen.
inline StandState plantedStand()
{
    StandState s;
    OptionsInput options;
    options.year = "2026";
    EXPECT_TRUE(confirmOptions(s, options).accepted);
    StandDataInput stand;
    stand.age = "12";
    stand.dominantHeight = "9";
    EXPECT_TRUE(standDataButton(s, stand).openDensityScreen);
    EXPECT_EQ(confirmUnthinnedDensity(s, "1500", DensityChoice::Planted).kind, DensityOutcome::Kind::Stored);
    return s;
}

} // namespace tavelo::test
