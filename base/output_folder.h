#pragma once

// The rule of an output folder, for every command that writes one: it must be
// empty or new, so that the results of two runs never mix; with `overwrite`
// a folder that holds files is accepted and an earlier run's outputs in it
// are removed first (other files stay), unless one of them is an input.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

struct OutputFolderProblem {
    std::string why;
    // The call must change (a folder not empty without --overwrite, an input
    // among the outputs); otherwise the folder cannot be written.
    bool callMustChange = false;
};

struct FolderInput {
    std::string what; // "the inventory", "the stand file", ...
    std::filesystem::path path;
};

// Creates `dir` when it is new; nothing when it can be used. `isOutput` also
// names the folders of outputs, with their slash ("front/").
std::optional<OutputFolderProblem>
prepareOutputFolder(const std::filesystem::path &dir, bool overwrite,
                    const std::function<bool(const std::string &fileName)> &isOutput,
                    const std::vector<FolderInput> &inputs);

} // namespace tavelo
