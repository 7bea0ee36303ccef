#include "stop_signals.h"

namespace tavelo {

namespace {

// A signal handler can reach nothing but a flag of static storage.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

extern "C" void requestStop(int)
{
    stopRequested.store(true);
}

} // namespace

StopOnSignals::StopOnSignals()
{
    stopRequested.store(false);
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
}

StopOnSignals::~StopOnSignals()
{
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

const std::atomic<bool> *StopOnSignals::flag() const
{
    return &stopRequested;
}

} // namespace tavelo
