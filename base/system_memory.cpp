#include "base/system_memory.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

namespace tavelo {

std::optional<uint64_t> availableMemoryBytes()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    const std::string key = "MemAvailable:";
    while (std::getline(meminfo, line))
        if (line.rfind(key, 0) == 0)
            return std::strtoull(line.c_str() + key.size(), nullptr, 10) * 1024; // in kB

    // Without MemAvailable (old kernels, other systems): the free pages.
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
    return std::nullopt;
}

} // namespace tavelo
