#pragma once

// SIGINT and SIGTERM turned into a request to stop, for the long commands of
// tavelo-cli: the work under way ends cleanly and the command exits with 130.

#include <atomic>
#include <csignal>
#include <thread>

namespace tavelo {

// Catches SIGINT and SIGTERM for as long as it lives; a second signal, half a
// second or more after the first, ends the program at once. One at a time,
// made before the command starts its own threads. The signals are blocked in every thread and taken by a thread of
// its own, so that no handler a library installs meanwhile (the MIP solver
// sets one for SIGINT) can swallow them.
class StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals &) = delete;
    StopOnSignals &operator=(const StopOnSignals &) = delete;

    // Set once a signal came.
    const std::atomic<bool> *flag() const;

private:
    void takeSignals();
    sigset_t maskBefore_ {};
    std::atomic<bool> stop_{false};
    std::atomic<bool> over_{false};
    std::thread taker_;
};

// The exit status of a command stopped by a signal.
inline constexpr int kCliInterrupted = 130;

} // namespace tavelo
