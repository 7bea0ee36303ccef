#include "stop_signals.h"

#include <pthread.h>

#include <chrono>
#include <ctime>

namespace tavelo {

namespace {

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

StopOnSignals::StopOnSignals()
{
    const sigset_t set = stopSignals();
    // Threads started from here on inherit the mask.
    pthread_sigmask(SIG_BLOCK, &set, &maskBefore_);
    taker_ = std::thread(&StopOnSignals::takeSignals, this);
}

StopOnSignals::~StopOnSignals()
{
    over_.store(true);
    taker_.join();
    pthread_sigmask(SIG_SETMASK, &maskBefore_, nullptr);
}

const std::atomic<bool> *StopOnSignals::flag() const
{
    return &stop_;
}

void StopOnSignals::takeSignals()
{
    const sigset_t set = stopSignals();
    // Woken now and then to see whether the command is over.
    const timespec wait{0, 50'000'000};
    // `timeout` and a shell signal the process and then its group: the copies
    // that come within a moment of the first are the same request.
    constexpr auto sameRequest = std::chrono::milliseconds(500);
    std::chrono::steady_clock::time_point first;
    while (!over_.load()) {
        const int signal = sigtimedwait(&set, nullptr, &wait);
        if (signal < 0)
            continue;
        if (!stop_.exchange(true)) {
            first = std::chrono::steady_clock::now();
            continue;
        }
        if (std::chrono::steady_clock::now() - first < sameRequest)
            continue;
        // The second: the program ends as the signal would end it.
        std::signal(signal, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        std::raise(signal);
    }
}

} // namespace tavelo
