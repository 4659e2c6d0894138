#include "base/ordered_batch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quill {
namespace {

class Runner {
public:
    explicit Runner(const OrderedBatch& batch)
        : batch_(batch),
          done_(static_cast<std::size_t>(batch.count), false),
          // A file that finishes early waits for the ones before it; a
          // little look-ahead keeps the workers busy meanwhile, and the bound
          // keeps a cancel (or a question left open) from having started
          // the whole batch.
          window_(2 * std::clamp(batch.workers, 1, std::max(batch.count, 1))) {}

    void run() {
        std::unique_lock lock(mutex_);
        while (!stopped_) {
            room_.wait(lock, [this] { return stopped_ || next_ >= batch_.count || next_ - turn_ < window_; });
            if (stopped_ || next_ >= batch_.count) return;
            lock.unlock();
            const bool cancel = batch_.cancelled && batch_.cancelled();
            lock.lock();
            if (cancel) stop();
            if (stopped_ || next_ >= batch_.count || next_ - turn_ >= window_) continue;
            const int index = next_++;
            lock.unlock();
            try {
                if (batch_.work) batch_.work(index);
            } catch (...) {
                lock.lock();
                fail(std::current_exception());
                return;
            }
            lock.lock();
            done_[static_cast<std::size_t>(index)] = true;
            finishReady(lock);
        }
    }

    int started() const { return next_; }
    std::exception_ptr error() const { return error_; }

private:
    // Runs the finish of every file whose turn has come; only one thread
    // does so at a time, the others leave their files to it.
    void finishReady(std::unique_lock<std::mutex>& lock) {
        if (finishing_) return;
        finishing_ = true;
        // A cancelled batch still finishes what it started; an error ends it.
        while (!error_ && turn_ < next_ && done_[static_cast<std::size_t>(turn_)]) {
            const int index = turn_;
            lock.unlock();
            try {
                if (batch_.finish) batch_.finish(index);
            } catch (...) {
                lock.lock();
                finishing_ = false;
                fail(std::current_exception());
                return;
            }
            lock.lock();
            ++turn_;
            room_.notify_all();
        }
        finishing_ = false;
    }

    void stop() {
        stopped_ = true;
        room_.notify_all();
    }

    void fail(std::exception_ptr e) {
        if (!error_) error_ = std::move(e);
        stop();
    }

    const OrderedBatch& batch_;
    std::mutex mutex_;
    std::condition_variable room_;
    std::vector<bool> done_;
    const int window_;
    int next_ = 0;  // the next file to hand out
    int turn_ = 0;  // the next file to finish
    bool finishing_ = false;
    bool stopped_ = false;
    std::exception_ptr error_;
};

}  // namespace

int runOrderedBatch(const OrderedBatch& batch) {
    if (batch.count <= 0) return 0;
    Runner runner(batch);
    const int workers = std::clamp(batch.workers, 1, batch.count);
    std::vector<std::thread> threads;
    for (int i = 1; i < workers; ++i) {
        try {
            threads.emplace_back([&runner] { runner.run(); });
        } catch (const std::system_error&) {
            break;  // fewer workers than asked for; the batch still runs
        }
    }
    runner.run();
    for (std::thread& t : threads) t.join();
    if (runner.error()) std::rethrow_exception(runner.error());
    return runner.started();
}

int batchWorkerCount(int requested) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return requested <= 0 ? cores : std::min(requested, cores);
}

}  // namespace quill
