#pragma once

// A fresh folder under the system's temporary folder, removed afterwards (also
// when a test made it read-only), and whole files as bytes.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace tavelo::test {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("tavelo-test-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const fs::path &path() const { return path_; }
    fs::path operator/(const std::string &name) const { return path_ / name; }
    void touch(const std::string &name) const { std::ofstream(path_ / name) << "x"; }

private:
    fs::path path_;
};

inline std::string readBytes(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const fs::path &p, const std::string &bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

} // namespace tavelo::test
