#pragma once

// Stand states as the entry screens leave them, for the entry tests.

#include "session/entry/entry_session.h"
#include "model/growth_model.h"

#include <gtest/gtest.h>

#include <string>

namespace tavelo::test {

// The options screen confirmed with its defaults and the year 2026.
inline StandState optionsConfirmed(bool withBark = true)
{
    StandState s;
    OptionsInput in;
    in.withBark = withBark;
    in.year = "2026";
    const OptionsOutcome out = confirmOptions(s, in);
    EXPECT_TRUE(out.accepted);
    return s;
}

inline StandDataInput byHeight(const std::string &age, const std::string &height)
{
    StandDataInput in;
    in.age = age;
    in.mode = SiteInput::DominantHeight;
    in.dominantHeight = height;
    return in;
}

inline StandDataInput byClass(const std::string &age, std::optional<QualityClass> q)
{
    StandDataInput in;
    in.age = age;
    in.mode = SiteInput::QualityClass;
    in.qualityClass = q;
    return in;
}

// Options confirmed and the stand data accepted by a stand-data button.
inline StandState standEntered(const StandDataInput &in)
{
    StandState s = optionsConfirmed();
    const StandDataOutcome out = standDataButton(s, in);
    EXPECT_TRUE(out.openDensityScreen);
    EXPECT_TRUE(out.messages.empty());
    return s;
}

inline Message errorBox(const std::string &title, const std::string &text)
{
    return Message::error(title, text);
}

} // namespace tavelo::test
