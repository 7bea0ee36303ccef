#pragma once

// SIGINT and SIGTERM turned into a request to stop, for the long commands of
// tavelo-cli: the work under way ends cleanly and the command exits with 130.

#include <atomic>
#include <csignal>

namespace tavelo {

// Catches SIGINT and SIGTERM for as long as it lives; a second signal ends the
// program at once. One at a time.
class StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals &) = delete;
    StopOnSignals &operator=(const StopOnSignals &) = delete;

    // Set once a signal came.
    const std::atomic<bool> *flag() const;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// The exit status of a command stopped by a signal.
inline constexpr int kCliInterrupted = 130;

} // namespace tavelo
