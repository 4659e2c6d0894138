// A batch of files on several threads with the results of one: each file's
// work runs on any worker, several files at once, while what must happen one
// file at a time (claiming an output name, asking the user, reporting) runs
// afterwards in file order. Files are handed out in order, so a cancelled
// batch has started a prefix of them and finishes exactly that prefix. No
// thread outlives the call; the calling thread is one of the workers.
#pragma once

#include <functional>

namespace quill {

struct OrderedBatch {
    int count = 0;
    int workers = 1;                      // 1: a plain loop on the calling thread
    std::function<bool()> cancelled;      // asked before each file is handed out
    std::function<void(int index)> work;  // on any worker, several files at once
    // After work(index), in index order, one file at a time, on any worker.
    std::function<void(int index)> finish;
};

// Returns how many files were started (each of them finished). An exception
// from work or finish stops the batch and is rethrown here once every worker
// has stopped; the files after it may then lack their finish.
int runOrderedBatch(const OrderedBatch& batch);

// Workers for a batch: `requested` (0 for "as many as there are cores"),
// never more than the cores, since the work is bound by the processor and
// each worker holds a whole picture.
int batchWorkerCount(int requested);

}  // namespace quill
