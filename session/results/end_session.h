#pragma once

#include "base/message.h"
#include "model/stand_state.h"
#include "session/structure/sim_log.h"
#include "session/structure/sim_record.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tavelo {

// The save dialog of the end screen: its title, filter and proposed name.
std::string saveDialogTitle(const std::string &simLogPath);
std::string proposedSaveName(const std::string &simLogPath);
inline constexpr const char *kSaveFilter = "text (*.txt)|*.txt";

// Copies the log line by line into `destination` (exactly that name, replacing
// any file), every line ending in CR LF. The error box on any failure.
std::optional<Message> saveLogCopy(const LogFile &log, const std::filesystem::path &destination);

// "Sair": every "*.temp" file of the log folder goes; failures are ignored.
void deleteTemporaryLogs(const std::filesystem::path &folder);

} // namespace tavelo
