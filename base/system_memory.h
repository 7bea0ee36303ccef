#pragma once

#include <cstdint>
#include <optional>

namespace tavelo {

// The memory the system could give this process now without swapping
// (Linux's MemAvailable); nothing when it cannot tell.
std::optional<uint64_t> availableMemoryBytes();

} // namespace tavelo
