// tavelo-cli: plays simulations from scenario files through the session code.
#include "app/cli/cli_commands.h"

#include <QApplication>
#include <QCoreApplication>

#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << tavelo::cliUsage();
        return tavelo::kCliUsage;
    }
    const std::string command = args.front();
    if (tavelo::cliWantsHelp(command)) {
        std::cout << tavelo::cliUsage();
        return tavelo::kCliOk;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());

    if (command == "compare" || command == "plan") {
        // Charts are drawn without a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        if (command == "plan")
            return tavelo::cliPlan(rest, std::cerr, isatty(STDERR_FILENO) != 0);
        return tavelo::cliCompare(rest, std::cerr);
    }
    QCoreApplication app(argc, argv);
    if (command == "run")
        return tavelo::cliRun(rest, std::cerr);
    if (command == "optimize")
        return tavelo::cliOptimize(rest, std::cerr, isatty(STDERR_FILENO) != 0);
    if (command == "batch")
        return tavelo::cliBatch(rest, std::cerr, isatty(STDERR_FILENO) != 0);
    if (command == "merge")
        return tavelo::cliMerge(rest, std::cerr);
    std::cerr << "tavelo-cli: unknown command \"" << command << "\"\n" << tavelo::cliUsage();
    return tavelo::kCliUsage;
}
