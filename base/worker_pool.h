#pragma once

// The one pool of worker threads behind every run over many independent
// pieces of work (the stands of a batch, the subtrees of a regime search).
// The calling thread produces the tasks and consumes the results, in the
// order the tasks were produced, whatever the number of workers; the workers
// only compute. Tasks go out in chunks (handing work over costs little) and a
// bounded number of chunks is in flight, so memory stays flat however many
// tasks there are. Stopping: the producer simply produces no more (a stop
// asked for, the end of the input); the tasks under way are finished and
// consumed. A failure anywhere (producing, working, consuming) stops the pool:
// no task is handed out any more, the workers end their chunk, every thread is
// joined, and the first failure is rethrown to the caller.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace tavelo {

struct PoolOptions {
    unsigned jobs = 0;  // worker threads; 0 is one per core
    size_t chunk = 1;   // tasks handed to a worker at a time
    size_t window = 0;  // chunks in flight at most; 0 is four per worker
};

// The worker count a request gives: 0 is one per core, and never less than 1.
inline unsigned poolJobs(unsigned requested)
{
    if (requested)
        return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores ? cores : 1;
}

// produce(Task &) -> bool: the next task, false when there is none;
// work(Task &) -> Result, on a worker; consume(Result &&), on the calling
// thread, in the order of the tasks.
template <typename Task, typename Result, typename Produce, typename Work, typename Consume>
void runOrdered(const PoolOptions &options, Produce &&produce, Work &&work, Consume &&consume)
{
    const unsigned jobs = poolJobs(options.jobs);
    const size_t chunkSize = options.chunk ? options.chunk : 1;
    const size_t window = options.window ? options.window : static_cast<size_t>(jobs) * 4;

    struct Chunk {
        size_t index = 0;
        std::vector<Task> tasks;
    };
    std::mutex m;
    std::condition_variable workAvailable;
    std::condition_variable resultReady;
    std::deque<Chunk> queue;
    std::map<size_t, std::vector<Result>> ready;
    bool noMoreTasks = false;
    bool stopping = false;
    std::exception_ptr failure;
    size_t nextIndex = 0;
    size_t nextConsumed = 0;

    auto fail = [&](std::exception_ptr e) { // with the lock held
        if (!failure)
            failure = std::move(e);
        stopping = true;
        queue.clear();
        workAvailable.notify_all();
    };

    std::vector<std::thread> workers;
    auto joinAll = [&] {
        {
            std::lock_guard lk(m);
            stopping = true;
        }
        workAvailable.notify_all();
        for (std::thread &t : workers)
            t.join();
    };
    try {
        for (unsigned w = 0; w < jobs; ++w) {
            workers.emplace_back([&] {
                for (;;) {
                    Chunk chunk;
                    {
                        std::unique_lock lk(m);
                        workAvailable.wait(lk, [&] { return !queue.empty() || noMoreTasks || stopping; });
                        if (queue.empty() || stopping)
                            return;
                        chunk = std::move(queue.front());
                        queue.pop_front();
                    }
                    std::vector<Result> results;
                    try {
                        results.reserve(chunk.tasks.size());
                        for (Task &task : chunk.tasks)
                            results.push_back(work(task));
                    } catch (...) {
                        std::lock_guard lk(m);
                        fail(std::current_exception());
                        resultReady.notify_all();
                        return;
                    }
                    {
                        std::lock_guard lk(m);
                        ready.emplace(chunk.index, std::move(results));
                    }
                    resultReady.notify_all();
                }
            });
        }

        // Consumes every finished chunk that is next in line, outside the lock.
        auto drain = [&](std::unique_lock<std::mutex> &lk) {
            for (auto it = ready.find(nextConsumed); it != ready.end() && !failure; it = ready.find(nextConsumed)) {
                std::vector<Result> results = std::move(it->second);
                ready.erase(it);
                ++nextConsumed;
                lk.unlock();
                try {
                    for (Result &r : results)
                        consume(std::move(r));
                } catch (...) {
                    lk.lock();
                    fail(std::current_exception());
                    return;
                }
                lk.lock();
            }
        };

        for (bool more = true; more;) {
            Chunk chunk;
            chunk.tasks.reserve(chunkSize);
            while (chunk.tasks.size() < chunkSize) {
                Task task{};
                if (!produce(task)) {
                    more = false;
                    break;
                }
                chunk.tasks.push_back(std::move(task));
            }
            if (chunk.tasks.empty())
                break;
            std::unique_lock lk(m);
            for (;;) {
                drain(lk);
                if (failure || nextIndex - nextConsumed < window)
                    break;
                resultReady.wait(lk);
            }
            if (failure)
                break;
            chunk.index = nextIndex++;
            queue.push_back(std::move(chunk));
            lk.unlock();
            workAvailable.notify_one();
        }
        std::unique_lock lk(m);
        noMoreTasks = true;
        workAvailable.notify_all();
        for (;;) {
            drain(lk);
            if (failure || nextConsumed >= nextIndex)
                break;
            resultReady.wait(lk);
        }
    } catch (...) {
        std::lock_guard lk(m);
        fail(std::current_exception());
    }
    joinAll();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace tavelo
