#ifndef ASSEMBLY_WORKQUEUE_H
#define ASSEMBLY_WORKQUEUE_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Jobs run on a few threads and taken back in the order they were added.
// The thread that waits for a job runs queued jobs itself meanwhile, so with
// one thread there are no other threads at all and every job runs on the
// caller's thread, in order. A job touches only what it was given; what it
// produces is handed over by wait(), which also rethrows its exception.
class WorkQueue {
public:
    // `threads` threads take part, the caller's included.
    explicit WorkQueue(unsigned threads);
    // Drops the jobs not started and waits for those running.
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    unsigned threads() const { return static_cast<unsigned>(workers.size()) + 1; }

    // Adds a job; returns its ticket, counting from 0.
    std::uint64_t add(std::function<void()> job);
    // Returns once the job of `ticket` is done, rethrowing what it threw.
    // Tickets are waited for in order, each once.
    void wait(std::uint64_t ticket);

private:
    struct Job {
        std::uint64_t ticket;
        std::function<void()> run;
    };
    void work();
    // Runs one queued job with the lock released; the lock is held on return.
    void runOne(std::unique_lock<std::mutex>& lock);

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> queue;                    // jobs not started
    std::deque<bool> done;                    // by ticket - waited
    std::deque<std::exception_ptr> failures;  // likewise
    std::uint64_t added = 0;
    std::uint64_t waited = 0;
    bool stopping = false;
    std::vector<std::thread> workers;
};

#endif
