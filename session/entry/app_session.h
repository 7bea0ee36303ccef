#pragma once

#include "base/message.h"
#include "base/numeric_text.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tavelo {

// Reads "0.5" with the user's conventions (grouping separators are ignored
// wherever they stand). A reading other than 0.5 gives the warning box after
// which the program ends; a text that cannot be read at all passes silently.
std::optional<Message> CheckDecimalSeparator(const NumberConventions &conventions);

// "Simulacao" + n + ".temp" for the smallest n >= 1 not present in `folder`.
std::string chooseLogName(const std::filesystem::path &folder);

// The folder of the simulation logs: the program's own folder, or, when that
// cannot be written (an installed program), the user's data folder.
std::filesystem::path chooseLogFolder(const std::filesystem::path &programFolder,
                                      const std::filesystem::path &userDataFolder);
bool isWritableFolder(const std::filesystem::path &folder);

} // namespace tavelo
