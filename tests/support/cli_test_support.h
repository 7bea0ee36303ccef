#pragma once

// Running scenarios for the tests: temporary folders, whole files as bytes,
// and the tavelo-cli executable run as a user would run it.

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace tavelo::test {

namespace fs = std::filesystem;

// The reference runs and this project's own runs, both in the repository.
inline const fs::path kExamples = TAVELO_EXAMPLES_DIR;
// A regime of both kinds of thinning, for the batch and database tests.
inline const char *const kTwoThinningsRegime = R"({
  "options": {"volumes": "com casca", "year": "2026"},
  "steps": ["project", {"thin": "mechanical", "percent": "25"}, "project", "project",
            {"thin": "below", "residualBasalArea": "20"}, "project", "project"]
})";
#ifdef TAVELO_TEST_DATA_DIR
inline const fs::path kOwnRuns = TAVELO_TEST_DATA_DIR;
#endif

// Single quotes for the shell.
inline std::string shellQuoted(const std::string &s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// A JSON file the program wrote, as an object (empty when it is not one).
inline QJsonObject jsonFile(const fs::path &p)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(readBytes(p))).object();
}

struct CliRun {
    int status = -1; // the exit status; -1 when the program did not exit normally
    std::string err; // what it wrote on standard error
    std::string out; // what it wrote on standard output
};

// How the program is started besides its arguments.
struct CliStart {
    std::string environment; // "NAME=value ..." put in front of the command
    std::string input;       // a file fed to standard input through a pipe; empty: none
};

// Runs tavelo-cli with `args` (already separate words) from `folder`.
inline CliRun runCli(const std::vector<std::string> &args, const TempFolder &folder, const CliStart &start = {})
{
    std::string cmd = "cd " + shellQuoted(folder.path().string()) + " && ";
    cmd += start.input.empty() ? std::string("</dev/null ") : "cat " + shellQuoted(start.input) + " | ";
    cmd += start.environment + " " + shellQuoted(TAVELO_CLI_PATH);
    for (const std::string &a : args)
        cmd += " " + shellQuoted(a);
    const fs::path errFile = folder / "stderr.txt";
    const fs::path outFile = folder / "stdout.txt";
    cmd += " 2>" + shellQuoted(errFile.string()) + " >" + shellQuoted(outFile.string());
    const int raw = std::system(cmd.c_str());
    CliRun r;
    if (raw != -1 && WIFEXITED(raw))
        r.status = WEXITSTATUS(raw);
    r.err = readBytes(errFile);
    r.out = readBytes(outFile);
    return r;
}

// Runs tavelo-cli with `args` from `folder` and sends it SIGINT once `ready`
// holds (asked every 10 ms, for `patienceMs` at most). The status is -1 when
// the signal ended the program instead of the program stopping itself.
inline CliRun interruptCli(const std::vector<std::string> &args, const TempFolder &folder,
                           const std::function<bool()> &ready, int patienceMs = 6000)
{
    std::string cmd = "cd " + shellQuoted(folder.path().string()) + " && exec " + shellQuoted(TAVELO_CLI_PATH);
    for (const std::string &a : args)
        cmd += " " + shellQuoted(a);
    cmd += " </dev/null 2>" + shellQuoted((folder / "stderr.txt").string()) + " >" +
           shellQuoted((folder / "stdout.txt").string());
    CliRun r;
    const pid_t child = fork();
    if (child < 0)
        return r;
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < patienceMs / 10 && !ready(); ++i)
        usleep(10000);
    kill(child, SIGINT);
    int raw = 0;
    if (waitpid(child, &raw, 0) == child && WIFEXITED(raw))
        r.status = WEXITSTATUS(raw);
    r.err = readBytes(folder / "stderr.txt");
    r.out = readBytes(folder / "stdout.txt");
    return r;
}

// The scenario files (NAME.json) of a folder, by name, sorted.
inline std::vector<std::string> scenarioNames(const fs::path &folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec))
        if (e.path().extension() == ".json")
            names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tavelo::test
