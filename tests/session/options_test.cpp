// The model options screen: what "&Ok" stores and the boxes it shows.

#include "entry_test_support.h"

#include <gtest/gtest.h>

namespace tavelo::test {
namespace {

const Message kDataInvalidWarning = Message::warning("Dados Inválidos", "Dados Inválidos");
const Message kBadDate = Message::warning("Dados Inválidos", "Data Inválida");
const Message kNegative = Message::warning("Dados Inválidos", "Parâmetros negativos não são aceitáveis...");

OptionsInput defaults(const std::string &year = "2026")
{
    OptionsInput in;
    in.year = year;
    return in;
}

void expectNoDimensions(const StandState &s)
{
    EXPECT_TRUE(s.sawlogMinDiameter.isEmpty());
    EXPECT_TRUE(s.sawlogMinLength.isEmpty());
    EXPECT_TRUE(s.stumpHeight.isEmpty());
    EXPECT_TRUE(s.topDiameter.isEmpty());
}

TEST(ModelOptions, DefaultsAreAccepted)
{
    StandState s;
    const OptionsOutcome out = confirmOptions(s, defaults());
    EXPECT_TRUE(out.accepted);
    EXPECT_TRUE(out.messages.empty());
    EXPECT_EQ(s.withBark, StateValue(1.0));
    EXPECT_EQ(s.sawlogMinDiameter, StateValue(20.0));
    EXPECT_EQ(s.sawlogMinLength, StateValue(2.3));
    EXPECT_EQ(s.stumpHeight, StateValue(0.15));
    EXPECT_EQ(s.topDiameter, StateValue(7.0));
    ASSERT_TRUE(s.currentYear.isText()); // the year is kept as typed
    EXPECT_EQ(s.currentYear.text(), "2026");
}

TEST(ModelOptions, WithoutBark)
{
    StandState s;
    OptionsInput in = defaults();
    in.withBark = false;
    EXPECT_TRUE(confirmOptions(s, in).accepted);
    EXPECT_EQ(s.withBark, StateValue(0.0));
}

TEST(ModelOptions, YearKeptExactlyAsTyped)
{
    StandState s;
    EXPECT_TRUE(confirmOptions(s, defaults(" 2026.0")).accepted);
    EXPECT_EQ(s.currentYear.text(), " 2026.0");
}

class ModelOptionsBadYear : public ::testing::TestWithParam<const char *> {};

TEST_P(ModelOptionsBadYear, DateInvalidAndNothingAfterTheBarkStored)
{
    StandState s;
    OptionsInput in = defaults(GetParam());
    in.withBark = false;
    const OptionsOutcome out = confirmOptions(s, in);
    EXPECT_FALSE(out.accepted);
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0], kBadDate);
    EXPECT_EQ(s.withBark, StateValue(0.0)); // stored before the year is checked
    EXPECT_TRUE(s.currentYear.isEmptyOrNull());
    expectNoDimensions(s);
}

INSTANTIATE_TEST_SUITE_P(Years, ModelOptionsBadYear, ::testing::Values("0", "-5", "abc", "", " ", "0.0", "2,026"));

TEST(ModelOptions, EmptyLengthStoresTheDiameterThenRefuses)
{
    StandState s;
    OptionsInput in = defaults();
    in.sawlogMinDiameter = "25";
    in.sawlogMinLength = "";
    const OptionsOutcome out = confirmOptions(s, in);
    EXPECT_FALSE(out.accepted);
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0], kDataInvalidWarning);
    EXPECT_EQ(s.sawlogMinDiameter, StateValue(25.0));
    EXPECT_TRUE(s.sawlogMinLength.isEmpty());
    EXPECT_TRUE(s.stumpHeight.isEmpty());
    EXPECT_TRUE(s.topDiameter.isEmpty());
    EXPECT_EQ(s.currentYear.text(), "2026");
}

TEST(ModelOptions, ANotNumericDimensionKeepsTheEarlierValuesOfTheLaterBoxes)
{
    StandState s = optionsConfirmed();
    OptionsInput in = defaults();
    in.sawlogMinDiameter = "25";
    in.sawlogMinLength = "2.5";
    in.stumpHeight = "x";
    in.topDiameter = "9";
    const OptionsOutcome out = confirmOptions(s, in);
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.messages, Messages{kDataInvalidWarning});
    EXPECT_EQ(s.sawlogMinDiameter, StateValue(25.0));
    EXPECT_EQ(s.sawlogMinLength, StateValue(2.5));
    EXPECT_EQ(s.stumpHeight, StateValue(0.15)); // the value confirmed before
    EXPECT_EQ(s.topDiameter, StateValue(7.0));
}

struct DimensionCase {
    int box; // 0 diameter, 1 length, 2 cutting height, 3 top diameter
    const char *text;
    bool negative;
};

class ModelOptionsBadDimension : public ::testing::TestWithParam<DimensionCase> {};

TEST_P(ModelOptionsBadDimension, RefusedAndNoDimensionStored)
{
    const DimensionCase &c = GetParam();
    StandState s;
    OptionsInput in = defaults();
    std::string *boxes[] = {&in.sawlogMinDiameter, &in.sawlogMinLength, &in.stumpHeight, &in.topDiameter};
    *boxes[c.box] = c.text;
    const OptionsOutcome out = confirmOptions(s, in);
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.messages, Messages{c.negative ? kNegative : kDataInvalidWarning});
    expectNoDimensions(s);
}

INSTANTIATE_TEST_SUITE_P(Boxes, ModelOptionsBadDimension,
                         ::testing::Values(DimensionCase{0, "0", false}, DimensionCase{1, "0.0", false},
                                           DimensionCase{2, "0", false}, DimensionCase{3, "0", false},
                                           DimensionCase{0, "-20", true}, DimensionCase{1, "-2.3", true},
                                           DimensionCase{2, "-0.15", true}, DimensionCase{3, "-7", true}));

TEST(ModelOptions, ZeroDimensionKeepsTheValueConfirmedBefore)
{
    StandState s = optionsConfirmed();
    OptionsInput in = defaults();
    in.topDiameter = "0";
    in.sawlogMinDiameter = "30";
    EXPECT_FALSE(confirmOptions(s, in).accepted);
    EXPECT_EQ(s.topDiameter, StateValue(7.0));
    EXPECT_EQ(s.sawlogMinDiameter, StateValue(20.0));
}

TEST(ModelOptions, NegativeBesideANotNumericBoxIsNeverStored)
{
    // A box that is not a number gives "Dados Inválidos"; a negative box before
    // it must not be stored on the way.
    StandState s;
    OptionsInput in = defaults();
    in.sawlogMinDiameter = "-5";
    in.sawlogMinLength = "";
    const OptionsOutcome out = confirmOptions(s, in);
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.messages, Messages{kDataInvalidWarning});
    EXPECT_TRUE(s.sawlogMinDiameter.isEmpty());
}

} // namespace
} // namespace tavelo::test
