#pragma once

// GDAL's own GeoPackage validator (validate_gpkg.py, from python3-gdal), run
// on a file where it is installed.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace tavelo::test {

inline std::string gpkgValidator()
{
    for (const char *p : {"/usr/lib/python3/dist-packages/osgeo_utils/samples/validate_gpkg.py",
                          "/usr/share/doc/python3-gdal/examples/validate_gpkg.py"})
        if (std::filesystem::exists(p))
            return p;
    return {};
}

// The validator's exit status for `file`, its report in `report`; nothing
// when the validator is not installed.
inline std::optional<int> validateGpkg(const std::filesystem::path &file, std::string *report = nullptr)
{
    const std::string validator = gpkgValidator();
    if (validator.empty())
        return std::nullopt;
    auto quoted = [](const std::string &s) {
        std::string q = "'";
        for (char c : s)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    const std::filesystem::path out = file.string() + ".validation.txt";
    const int raw = std::system(("python3 " + quoted(validator) + " " + quoted(file.string()) + " > " +
                                 quoted(out.string()) + " 2>&1")
                                    .c_str());
    if (report) {
        std::ifstream in(out, std::ios::binary);
        report->assign(std::istreambuf_iterator<char>(in), {});
    }
    std::error_code ec;
    std::filesystem::remove(out, ec);
    return raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace tavelo::test
