// The start-up decisions: the regional settings check, the log's name and folder.

#include "session/entry/app_session.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tavelo {
namespace {

using test::TempFolder;

namespace fs = std::filesystem;


// --- Regional settings ------------------------------------------------------------

const Message kSeparatorWarning{
    Message::Icon::Warning, Message::Buttons::Ok, "Erro",
    "O símbolo separador decimal deve ser o ponto!\r\n"
    "Com a configuração actual o programa não corre correctamente. \r\n"
    "Utilize as Definições Regionais do Painel de Controlo para alterar estas definições."};

struct ConventionsCase {
    const char *name;
    NumberConventions conventions;
    bool warns;
};

class DecimalSeparatorCheck : public ::testing::TestWithParam<ConventionsCase> {};

TEST_P(DecimalSeparatorCheck, WarnsOnlyWhenThePointIsMisread)
{
    const ConventionsCase &c = GetParam();
    const std::optional<Message> m = CheckDecimalSeparator(c.conventions);
    if (c.warns) {
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(*m, kSeparatorWarning);
    } else {
        EXPECT_FALSE(m.has_value()) << m->text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conventions, DecimalSeparatorCheck,
    ::testing::Values(
        // "0.5" reads as 0.5.
        ConventionsCase{"PointComma", {".", ","}, false}, ConventionsCase{"PointBlank", {".", " "}, false},
        ConventionsCase{"PointNone", {".", ""}, false},
        // The point is taken as a grouping separator: "0.5" reads as 5.
        ConventionsCase{"CommaPoint", {",", "."}, true},
        // "0.5" cannot be read at all: start-up goes on silently.
        ConventionsCase{"CommaBlank", {",", " "}, false},
        ConventionsCase{"CommaNoBreakSpace", {",", "\u00a0"}, false},
        ConventionsCase{"CommaNone", {",", ""}, false}),
    [](const ::testing::TestParamInfo<ConventionsCase> &i) { return std::string(i.param.name); });

TEST(DecimalSeparatorCheck, TheWarningHasThreeLines)
{
    const auto m = CheckDecimalSeparator({",", "."});
    ASSERT_TRUE(m.has_value());
    const std::string &t = m->text;
    const size_t first = t.find("\r\n");
    const size_t second = t.find("\r\n", first + 2);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(t.find("\r\n", second + 2), std::string::npos);
    EXPECT_EQ(t[second - 1], ' '); // the second line keeps its trailing blank
}

// --- Log name -----------------------------------------------------------------------

struct LogNameCase {
    const char *name;
    std::vector<std::string> present;
    const char *expected;
};

class ChooseLogName : public ::testing::TestWithParam<LogNameCase> {};

TEST_P(ChooseLogName, TakesTheSmallestFreeNumber)
{
    TempFolder folder;
    for (const std::string &f : GetParam().present)
        folder.touch(f);
    EXPECT_EQ(chooseLogName(folder.path()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ChooseLogName,
    ::testing::Values(LogNameCase{"Empty", {}, "Simulacao1.temp"},
                      LogNameCase{"OneAndTwo", {"Simulacao1.temp", "Simulacao2.temp"}, "Simulacao3.temp"},
                      LogNameCase{"OnlyTwo", {"Simulacao2.temp"}, "Simulacao1.temp"},
                      LogNameCase{"OtherFilesIgnored", {"Simulacao1.txt", "simulacao1.temp", "Simulacao01.temp"},
                                  "Simulacao1.temp"},
                      LogNameCase{"TenTaken", {"Simulacao1.temp", "Simulacao2.temp", "Simulacao3.temp",
                                               "Simulacao4.temp", "Simulacao5.temp", "Simulacao6.temp",
                                               "Simulacao7.temp", "Simulacao8.temp", "Simulacao9.temp"},
                                  "Simulacao10.temp"}),
    [](const ::testing::TestParamInfo<LogNameCase> &i) { return std::string(i.param.name); });

TEST(ChooseLogName, DoesNotCreateTheFile)
{
    TempFolder folder;
    const std::string name = chooseLogName(folder.path());
    EXPECT_FALSE(fs::exists(folder.path() / name));
    EXPECT_EQ(chooseLogName(folder.path()), name); // so asking again gives the same name
}

// --- Log folder -----------------------------------------------------------------------

TEST(ChooseLogFolder, ProgramFolderWhenWritable)
{
    TempFolder program;
    TempFolder user;
    EXPECT_EQ(chooseLogFolder(program.path(), user.path() / "logs"), program.path());
    EXPECT_FALSE(fs::exists(user.path() / "logs")); // nothing made in the user's folder
    // The writability probe leaves nothing behind.
    EXPECT_TRUE(fs::is_empty(program.path()));
}

TEST(ChooseLogFolder, UserFolderWhenTheProgramFolderIsReadOnly)
{
    TempFolder program;
    TempFolder user;
    fs::permissions(program.path(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(program.path().c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with privileges that write into read-only folders (root); "
                        "the missing-folder case covers the fallback";
    const fs::path logs = user.path() / "Tavelo";
    EXPECT_EQ(chooseLogFolder(program.path(), logs), logs);
    EXPECT_TRUE(fs::is_directory(logs)); // made when missing
}

TEST(ChooseLogFolder, UserFolderWhenTheProgramFolderIsMissing)
{
    TempFolder user;
    const fs::path logs = user.path() / "a" / "b";
    EXPECT_EQ(chooseLogFolder(user.path() / "no-such-folder", logs), logs);
    EXPECT_TRUE(fs::is_directory(logs));
}

} // namespace
} // namespace tavelo
