// The manual page's synopsis is the program's own usage text, line for line,
// so that the two cannot drift apart.

#include "app/cli/cli_commands.h"
#include "support/cli_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tavelo::test {
namespace {

const fs::path kManualPage = kExamples.parent_path().parent_path() / "packaging" / "tavelo-cli.1";

// A line with its indentation dropped and its runs of blanks made one.
std::string blanksFolded(const std::string &line)
{
    std::string out;
    for (const char c : line) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The usage's command lines, "usage: " and the exit statuses left out.
std::vector<std::string> usageCommandLines()
{
    std::vector<std::string> lines;
    std::istringstream in(cliUsage());
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("exit status", 0) == 0)
            break;
        if (line.rfind("usage: ", 0) == 0)
            line.erase(0, 7);
        lines.push_back(blanksFolded(line));
    }
    return lines;
}

// The lines of the SYNOPSIS section's no-fill block, troff's escapes undone.
std::vector<std::string> manualSynopsisLines(const std::string &page)
{
    std::vector<std::string> lines;
    std::istringstream in(page);
    bool inSynopsis = false, inBlock = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".SH", 0) == 0)
            inSynopsis = line == ".SH SYNOPSIS";
        else if (inSynopsis && line == ".nf")
            inBlock = true;
        else if (inBlock && line == ".fi")
            break;
        else if (inBlock) {
            std::string plain;
            for (size_t i = 0; i < line.size(); ++i) {
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '-' || line[i + 1] == 'e')) {
                    plain += line[i + 1] == '-' ? '-' : '\\';
                    ++i;
                } else {
                    plain += line[i];
                }
            }
            lines.push_back(blanksFolded(plain));
        }
    }
    return lines;
}

TEST(ManualPage, SynopsisIsTheProgramsUsage)
{
    const std::vector<std::string> usage = usageCommandLines();
    ASSERT_GT(usage.size(), 10u);
    EXPECT_EQ(manualSynopsisLines(readBytes(kManualPage)), usage);
}

} // namespace
} // namespace tavelo::test
