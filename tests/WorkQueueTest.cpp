#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "WorkQueue.h"

namespace {

// Jobs that finish out of order are handed back in order, with the thread
// that waits doing its share; a job's exception reaches the one who waits
// for it, and the queue goes on.
TEST(WorkQueue, HandsJobsBackInOrderWithTheirExceptions) {
    for (const unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(threads);
        WorkQueue queue(threads);
        std::vector<int> results(40, -1);
        std::vector<std::uint64_t> tickets;
        for (int i = 0; i < 40; ++i)
            tickets.push_back(queue.add([&results, i] {
                std::this_thread::sleep_for(std::chrono::microseconds((40 - i) * 20));
                if (i == 13) throw std::runtime_error("job 13");
                results[static_cast<std::size_t>(i)] = i * i;
            }));
        for (int i = 0; i < 40; ++i) {
            if (i == 13) {
                EXPECT_THROW(queue.wait(tickets[13]), std::runtime_error);
                continue;
            }
            queue.wait(tickets[static_cast<std::size_t>(i)]);
            EXPECT_EQ(results[static_cast<std::size_t>(i)], i * i);
        }
    }
}

}  // namespace
