// The worker pool of every batch: finishes in file order one at a time even
// when later files are done first, a cancel finishes exactly the files
// already started, and a failing file ends the batch without a hang.
#include "base/ordered_batch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quill {
namespace {

TEST(OrderedBatch, FinishesInOrderOneAtATimeWhileLaterFilesAreDoneFirst) {
    std::mutex mutex;
    std::vector<int> worked, finished;
    std::latch laterDone(2);
    std::atomic<int> finishing{0};
    bool overlapped = false;
    OrderedBatch batch{.count = 8, .workers = 3};
    batch.work = [&](int i) {
        if (i == 0) laterDone.wait();  // file 0 ends only after files 1 and 2
        {
            std::lock_guard lock(mutex);
            worked.push_back(i);
        }
        if (i == 1 || i == 2) laterDone.count_down();
    };
    batch.finish = [&](int i) {
        overlapped |= finishing.fetch_add(1) != 0;
        finished.push_back(i);
        std::this_thread::yield();
        finishing.fetch_sub(1);
    };
    EXPECT_EQ(runOrderedBatch(batch), 8);
    EXPECT_EQ(finished, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(worked.size(), 8u);
    EXPECT_NE(worked[0], 0);
}

TEST(OrderedBatch, CancelFinishesTheFilesInFlightAndStartsNoOther) {
    std::latch reached(2), go(1);
    std::atomic<bool> cancel{false};
    std::vector<int> finished;
    OrderedBatch batch{.count = 6, .workers = 2, .cancelled = [&] { return cancel.load(); }};
    batch.work = [&](int i) {
        if (i < 2) {
            reached.count_down();
            go.wait();
        }
    };
    batch.finish = [&](int i) { finished.push_back(i); };
    int started = -1;
    std::thread run([&] { started = runOrderedBatch(batch); });
    reached.wait();
    cancel = true;
    go.count_down();
    run.join();
    EXPECT_EQ(started, 2);
    EXPECT_EQ(finished, (std::vector<int>{0, 1}));
}

TEST(OrderedBatch, AFailingFileEndsTheBatchAndItsErrorReachesTheCaller) {
    std::atomic<int> worked{0};
    OrderedBatch batch{.count = 50, .workers = 2};
    batch.work = [&](int i) {
        ++worked;
        if (i == 3) throw std::runtime_error("file 3");
    };
    EXPECT_THROW(runOrderedBatch(batch), std::runtime_error);
    EXPECT_LT(worked.load(), 50);
}

}  // namespace
}  // namespace quill
