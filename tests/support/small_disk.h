#pragma once

// A full (or read-only) disk for the tests: a tiny tmpfs mounted on a fresh folder (needs the
// right to mount, as root in a container usually has), filled up to its last
// bytes on request. Where mounting is not allowed, mounted() is false and says
// why, and the test skips with that reason.

#include "support/temp_folder.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace tavelo::test {

class SmallDisk {
public:
    enum class Access { ReadWrite, ReadOnly };

    explicit SmallDisk(const char *size = "64k", Access access = Access::ReadWrite)
    {
        fs::create_directories(folder_.path() / "disk");
        const std::string options = std::string("size=") + size;
        const unsigned long flags = access == Access::ReadOnly ? MS_RDONLY : 0;
        if (::mount("tmpfs", path().c_str(), "tmpfs", flags, options.c_str()) == 0)
            mounted_ = true;
        else
            why_ = std::string("cannot mount a small tmpfs to simulate a full disk: ") + std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(path().c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return mounted_; }
    const std::string &whyNot() const { return why_; }
    fs::path path() const { return folder_.path() / "disk"; }
    fs::path operator/(const std::string &name) const { return path() / name; }

    // Takes every free byte with a filler file.
    void fill() const
    {
        std::ofstream filler(path() / ".filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
        // The last bytes a block did not fit into.
        filler.clear();
        for (int i = 0; i < 4096 && filler.put('f') && filler.flush(); ++i) {
        }
    }

private:
    TempFolder folder_;
    bool mounted_ = false;
    std::string why_;
};

} // namespace tavelo::test
