// One batch command behind the modal progress dialog: the job record, the
// dialog and the thread protocol between them. The worker does the file work
// on its own thread (and, when the job allows, on helpers beside it) and
// never touches a widget: it moves the progress (which the dialog shows
// coalesced), asks questions through blocking calls to the interface thread,
// one at a time, and its return value ends the dialog. What a worker does to
// each file is its own (batch_workers.h, imaging/ui/).
#pragma once

#include "base/file_result.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace quill {

struct BatchJob;
struct CompressionSettings;

// Runs on the worker thread with the job; returns the dialog's result.
using BatchWorker = std::function<int(BatchJob& job)>;

// Set once by the interface thread, read by the worker before each file.
class CancelFlag {
public:
    void set();
    bool isSet() const { return set_.load(); }
    // Waits up to `time`; returns early (true) once the flag is set.
    bool waitFor(std::chrono::milliseconds time);

private:
    std::atomic<bool> set_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

// A file the worker could not complete, and why.
struct FailedFile {
    std::filesystem::path path;
    FileResult why;
};

struct BatchJob {
    int command = 0;  // selects the caption and, without `worker`, the worker
    bool overwrite = false;
    bool forceProgressive = false;
    bool forceRegularSize = false;
    // Options of our own (AppSettings "61" to "64").
    bool keepIcc = false;           // clean keeps the ICC_PROFILE segments
    bool keepTime = false;          // outputs keep their source's modification time
    bool resetOrientation = false;  // transforms set Orientation 1 and turn the thumbnail
    bool useTrash = false;          // the delete worker moves files to the trash
    const CompressionSettings* settings = nullptr;  // recompression jobs only
    std::vector<std::filesystem::path> sourcePaths;
    std::vector<std::string> app0Texts;    // per file: the list's APP0 column
    std::vector<std::string> codingTexts;  // per file: the list's coding column
    // Empty: ID_FILE_DELETE runs the delete worker, any other command the
    // lossless worker. Other subsystems set their own.
    BatchWorker worker;
    // Files worked on at once. More than 1 only for a worker that keeps what
    // must happen in order in forEachBatchFile's finish.
    int workers = 1;

    // Progress bar: `position` is the 1-based oldest file not yet finished.
    std::atomic<int> position{0};
    int rangeMin = 0;
    int rangeMax = 100;
    QString barText;  // drawn instead of the percentage when not empty
    bool showText = true;

    std::atomic<int> successCount{0};
    // Written by the worker, read after the dialog: failures are kept even
    // where the command does not report them.
    std::vector<FailedFile> failedFiles;
    CancelFlag cancelRequested;
    QDialog* dialog = nullptr;  // the progress dialog while it is open
};

// Shows the progress dialog over `owner`, starts the worker at once and
// returns when the dialog has closed: the worker's result, or 2 when the
// cancel command closed it after the worker had ended.
int runBatch(QWidget* owner, BatchJob& job);

// For workers, on the worker thread.
// Runs the files, handed out in order, until cancel is requested: work(i) on
// up to job.workers threads at once, then finish(i) for each file in order,
// one at a time (names, questions and failure lists belong there). The bar
// and the labels ("[ i+1 / n ]" and the path) follow the oldest file not yet
// finished, which with one worker is the file being worked on.
void forEachBatchFile(BatchJob& job, const std::function<void(int index)>& work,
                      const std::function<void(int index)>& finish = {});
// A message dialog owned by the progress dialog, answered on the interface
// thread while the worker waits; 1 or 2 as showMessage. Questions from
// several threads are asked one after another.
int askFromWorker(BatchJob& job, int kind, const QString& title, const QString& text);

// Test seam: called on a worker thread as each file starts (after the
// progress step) and, in the lossless worker, once it is converted and before
// it is named. Set it before runBatch; empty in the program.
enum class BatchStep { FileStarted, FileConverted };
using BatchStepHook = std::function<void(const BatchJob& job, int index, BatchStep step)>;
void setBatchStepHook(BatchStepHook hook);
void reachBatchStep(const BatchJob& job, int index, BatchStep step);

}  // namespace quill
