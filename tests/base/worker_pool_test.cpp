#include "base/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tavelo {
namespace {

struct Shape {
    unsigned jobs;
    size_t chunk;
    size_t window;
    size_t tasks;
};

// Whatever the workers, the chunk and the window, the results come back in the
// order of the tasks and equal the sequential computation.
TEST(WorkerPool, ResultsInTaskOrderForEveryShape)
{
    std::mt19937 random(7);
    for (const Shape s : {Shape{1, 1, 1, 50}, Shape{2, 1, 0, 500}, Shape{3, 32, 2, 1000}, Shape{8, 5, 1, 333},
                          Shape{2, 64, 0, 0}, Shape{4, 7, 3, 1}}) {
        std::vector<unsigned> delays(s.tasks);
        for (unsigned &d : delays)
            d = random() % 50; // uneven work, so that workers finish out of order
        size_t produced = 0;
        std::vector<std::string> got;
        runOrdered<size_t, std::string>(
            {s.jobs, s.chunk, s.window},
            [&](size_t &t) { return produced < s.tasks ? (t = produced++, true) : false; },
            [&](size_t &t) {
                std::this_thread::sleep_for(std::chrono::microseconds(delays[t]));
                return std::to_string(t * t);
            },
            [&](std::string &&r) { got.push_back(std::move(r)); });
        ASSERT_EQ(got.size(), s.tasks) << s.jobs << " jobs";
        for (size_t i = 0; i < s.tasks; ++i)
            ASSERT_EQ(got[i], std::to_string(i * i)) << "task " << i << " with " << s.jobs << " jobs";
    }
}

// The chunks in flight stay within the window: the producer never runs more
// than window × chunk tasks ahead of the consumer.
TEST(WorkerPool, BoundedInFlight)
{
    size_t produced = 0, consumed = 0, widest = 0;
    runOrdered<int, int>(
        {2, 4, 3}, [&](int &t) { widest = std::max(widest, produced - consumed); return produced++ < 2000 ? (t = 1, true) : false; },
        [](int &t) { return t; }, [&](int &&) { ++consumed; });
    EXPECT_EQ(consumed, 2000u);
    EXPECT_LE(widest, 3u * 4u + 4u); // the chunk being filled comes on top of the window
}

enum class Where { Produce, Work, Consume };

// A failure in any of the three places reaches the caller once every thread
// is joined; the results before it were consumed in order, none after it.
TEST(WorkerPool, FailureStopsThePoolAndIsRethrown)
{
    for (const Where where : {Where::Produce, Where::Work, Where::Consume}) {
        std::atomic<int> worked{0};
        std::vector<int> got;
        int produced = 0;
        auto run = [&] {
            runOrdered<int, int>(
                {3, 2, 0},
                [&](int &t) {
                    if (where == Where::Produce && produced == 100)
                        throw std::runtime_error("row 100 unreadable");
                    t = produced++;
                    return produced <= 100000;
                },
                [&](int &t) {
                    ++worked;
                    if (where == Where::Work && t == 100)
                        throw std::runtime_error("task 100 failed");
                    return t;
                },
                [&](int &&r) {
                    if (where == Where::Consume && r == 100)
                        throw std::runtime_error("output full");
                    got.push_back(r);
                });
        };
        EXPECT_THROW(run(), std::runtime_error);
        ASSERT_LE(got.size(), 100u);
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], static_cast<int>(i));
        EXPECT_LT(worked.load(), 1000) << "the workers went on after the failure";
    }
}

} // namespace
} // namespace tavelo
