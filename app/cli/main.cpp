// tavelo-cli: plays a simulation from a scenario file through the session code.
#include "app/scenario.h"

#include <QCoreApplication>
#include <QDate>
#include <QSaveFile>
#include <QString>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

constexpr int kUsageError = 1;

int usage(const std::string &why)
{
    if (!why.empty())
        std::cerr << "tavelo-cli: " << why << "\n";
    std::cerr << "usage: tavelo-cli run SCENARIO.json --log LOG.txt [--record RECORD.csv]\n";
    return kUsageError;
}

void printMessage(const char *what, const tavelo::Message &m)
{
    std::cerr << what << ": " << m.title << ": " << m.text << "\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] != "run")
        return usage(args.empty() ? "" : "unknown command \"" + args[0] + "\"");

    std::string scenarioPath, logPath, recordPath;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--log" && i + 1 < args.size())
            logPath = args[++i];
        else if (args[i] == "--record" && i + 1 < args.size())
            recordPath = args[++i];
        else if (!args[i].empty() && args[i][0] != '-' && scenarioPath.empty())
            scenarioPath = args[i];
        else
            return usage("unexpected argument \"" + args[i] + "\"");
    }
    if (scenarioPath.empty() || logPath.empty())
        return usage("a scenario file and --log are required");

    std::ifstream in(scenarioPath, std::ios::binary);
    if (!in)
        return usage("cannot read " + scenarioPath);
    const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto parsed = tavelo::parseScenario(json, QString::number(QDate::currentDate().year()).toStdString());
    if (const auto *error = std::get_if<std::string>(&parsed)) {
        std::cerr << "tavelo-cli: " << scenarioPath << ": " << *error << "\n";
        return kUsageError;
    }

    tavelo::StandState state;
    const tavelo::RunResult result = tavelo::runScenario(std::get<tavelo::Scenario>(parsed), state, logPath);
    for (const tavelo::Message &m : result.notices)
        printMessage("note", m);
    if (result.message)
        printMessage(result.status == tavelo::RunResult::Status::EndedByModel ? "ended" : "refused", *result.message);

    if (!recordPath.empty()) {
        QSaveFile out(QString::fromStdString(recordPath));
        const std::string csv = tavelo::recordCsv(state);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
            !out.commit()) {
            std::cerr << "tavelo-cli: cannot write " << recordPath << "\n";
            return kUsageError;
        }
    }
    return static_cast<int>(result.status);
}
