#include "end_session.h"

#include "base/numeric_text.h"
#include "base/whole_file.h"
#include "session/structure/sim_record.h"

namespace tavelo {

std::string saveDialogTitle(const std::string &simLogPath)
{
    return "Guardar a simulação - ficheiro " + simLogPath;
}

std::string proposedSaveName(const std::string &simLogPath)
{
    // The name without its ".temp" ending.
    if (simLogPath.size() <= 5)
        return {};
    return simLogPath.substr(0, simLogPath.size() - 5);
}

std::optional<Message> saveLogCopy(const LogFile &log, const std::filesystem::path &destination)
{
    if (destination.empty())
        return std::nullopt;
    const auto lines = log.readLines();
    if (!lines)
        return fileWriteError();
    std::string bytes;
    for (const std::string &l : *lines) {
        bytes += utf8ToCp1252(l);
        bytes += "\r\n";
    }
    // Written whole or not at all: an existing file is only replaced on success.
    if (writeWholeFile(destination, bytes))
        return fileWriteError();
    return std::nullopt;
}

void deleteTemporaryLogs(const std::filesystem::path &folder)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec)
        return;
    for (const auto &entry : it) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(ec) && name.size() >= 5 && name.compare(name.size() - 5, 5, ".temp") == 0) {
            std::error_code ignored;
            std::filesystem::remove(entry.path(), ignored);
        }
    }
}

} // namespace tavelo
