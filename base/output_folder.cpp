#include "output_folder.h"

#include "base/whole_file.h"

namespace tavelo {

std::optional<OutputFolderProblem> prepareOutputFolder(const std::filesystem::path &dir, bool overwrite,
                                                       const std::function<bool(const std::string &)> &isOutput,
                                                       const std::vector<FolderInput> &inputs)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec))
        return OutputFolderProblem{"the output folder " + dir.string() + " is not a folder"};
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        return OutputFolderProblem{"cannot create the output folder " + dir.string()};
    std::vector<fs::path> earlier;
    bool empty = true;
    for (const auto &e : fs::directory_iterator(dir, ec)) {
        empty = false;
        std::error_code fileEc;
        // A folder of outputs is named with its slash ("front/").
        const std::string name = e.path().filename().string();
        if ((e.is_regular_file(fileEc) && isOutput(name)) || (e.is_directory(fileEc) && isOutput(name + "/")))
            earlier.push_back(e.path());
    }
    if (ec)
        return OutputFolderProblem{"cannot read the output folder " + dir.string() + ": " + ec.message()};
    if (empty)
        return std::nullopt;
    if (!overwrite)
        return OutputFolderProblem{"the output folder " + dir.string() +
                                       " is not empty; give --overwrite to replace the results of an earlier run",
                                   true};
    for (const fs::path &p : earlier)
        for (const FolderInput &in : inputs)
            if (!in.path.empty() && sameFile(p, in.path))
                return OutputFolderProblem{in.what + " " + in.path.string() +
                                               " is among the outputs in the output folder; it would be overwritten",
                                           true};
    for (const fs::path &p : earlier)
        if (fs::remove_all(p, ec) == static_cast<std::uintmax_t>(-1) || ec)
            return OutputFolderProblem{"cannot remove " + p.string() + ": " + ec.message()};
    return std::nullopt;
}

} // namespace tavelo
