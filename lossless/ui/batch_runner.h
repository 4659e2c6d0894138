// One batch command behind the modal progress dialog: the job record, the
// dialog and the thread protocol between them. The worker does the file work
// on its own thread and never touches a widget: it moves the progress (which
// the dialog shows coalesced), asks questions through blocking calls to the
// interface thread, and its return value ends the dialog. What a worker does
// to each file is its own (batch_workers.h, imaging/ui/).
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

    // Progress bar: `position` is the 1-based file being worked on.
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
// Runs work(i) for each file in order until cancel is requested; before each
// file the bar moves to i + 1 and the labels show "[ i+1 / n ]" and the path.
void forEachBatchFile(BatchJob& job, const std::function<void(int index)>& work);
// A message dialog owned by the progress dialog, answered on the interface
// thread while the worker waits; 1 or 2 as showMessage.
int askFromWorker(BatchJob& job, int kind, const QString& title, const QString& text);

// Test seam: called on the worker thread as each file starts (after the
// progress step) and, in the lossless worker, once it is converted and before
// the source is replaced. Set it before runBatch; empty in the program.
enum class BatchStep { FileStarted, FileConverted };
using BatchStepHook = std::function<void(const BatchJob& job, int index, BatchStep step)>;
void setBatchStepHook(BatchStepHook hook);
void reachBatchStep(const BatchJob& job, int index, BatchStep step);

}  // namespace quill
