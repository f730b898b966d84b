#include "WorkQueue.h"

#include <pthread.h>

#include <csignal>
#include <stdexcept>

WorkQueue::WorkQueue(unsigned threads) {
    // The threads started here keep the signals that end a run blocked, so
    // that those arrive on the thread that makes and removes files.
    sigset_t ending, previous;
    sigemptyset(&ending);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, signalNumber);
    pthread_sigmask(SIG_BLOCK, &ending, &previous);
    try {
        for (unsigned i = 1; i < threads; ++i) workers.emplace_back([this] { work(); });
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        throw;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

WorkQueue::~WorkQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        queue.clear();
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
}

std::uint64_t WorkQueue::add(std::function<void()> job) {
    std::uint64_t ticket;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ticket = added++;
        queue.push_back(Job{ticket, std::move(job)});
        done.push_back(false);
        failures.emplace_back();
    }
    changed.notify_one();
    return ticket;
}

void WorkQueue::runOne(std::unique_lock<std::mutex>& lock) {
    Job job = std::move(queue.front());
    queue.pop_front();
    lock.unlock();
    std::exception_ptr failure;
    try {
        job.run();
    } catch (...) {
        failure = std::current_exception();
    }
    job.run = nullptr;  // what the job held goes before the caller is told
    lock.lock();
    const std::size_t slot = static_cast<std::size_t>(job.ticket - waited);
    done[slot] = true;
    failures[slot] = failure;
    changed.notify_all();
}

void WorkQueue::work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !queue.empty(); });
        if (stopping) return;
        runOne(lock);
    }
}

void WorkQueue::wait(std::uint64_t ticket) {
    std::unique_lock<std::mutex> lock(mutex);
    if (ticket != waited || ticket >= added) throw std::logic_error("WorkQueue: tickets are waited for in order");
    while (!done.front()) {
        if (!queue.empty())
            runOne(lock);
        else
            changed.wait(lock);
    }
    const std::exception_ptr failure = failures.front();
    done.pop_front();
    failures.pop_front();
    ++waited;
    if (failure) std::rethrow_exception(failure);
}
