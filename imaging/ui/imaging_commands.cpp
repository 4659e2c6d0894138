#include "imaging/ui/imaging_commands.h"

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/message_dialog.h"
#include "base/ordered_batch.h"
#include "imaging/recompress.h"
#include "imaging/ui/compression_dialog.h"
#include "lossless/ui/batch_runner.h"
#include "preview/image_file_dialog.h"

#include <chrono>

namespace quill {
namespace {

// The longest text the result messages show; the rest of a long list is cut.
constexpr qsizetype kMessageLimit = 2600;

// Runs on the batch thread and its helpers: each source paced so the
// progress stays readable, loaded, resampled and encoded by the core, several
// at once; then, one at a time in order, named. A source that cannot be
// loaded goes to the job's failures; every source left without an output,
// whatever the reason, to `missing`, in order.
BatchWorker recompressionWorker(std::vector<FailedFile>& missing) {
    return [&missing](BatchJob& job) {
        std::vector<EncodedFile> encoded(job.sourcePaths.size());
        auto work = [&](int i) {
            job.cancelRequested.waitFor(std::chrono::milliseconds(100));
            encoded[static_cast<std::size_t>(i)] =
                encodeToStaged(*job.settings, job.sourcePaths[static_cast<std::size_t>(i)], job.keepTime);
        };
        auto finish = [&](int i) {
            const std::filesystem::path& source = job.sourcePaths[static_cast<std::size_t>(i)];
            RecompressFileResult result =
                placeEncoded(std::move(encoded[static_cast<std::size_t>(i)]), source, job.overwrite);
            if (result.outcome == RecompressOutcome::Written) {
                ++job.successCount;
                return;
            }
            if (result.outcome == RecompressOutcome::LoadFailed) job.failedFiles.push_back({source, result.why});
            missing.push_back({source, std::move(result.why)});
        };
        forEachBatchFile(job, work, finish);
        return job.failedFiles.empty() ? 1 : 0;
    };
}

// `heading`, then each file with its reason; a long list is cut.
QString failureList(const QString& heading, const std::vector<FailedFile>& files) {
    QString text = heading;
    for (const FailedFile& f : files) {
        const QString line = displayPath(f.path) + QStringLiteral("\n　") + failureMessage(f.why) + QLatin1Char('\n');
        if (text.size() + line.size() > kMessageLimit) return text + QStringLiteral("…");
        text += line;
    }
    return text;
}

// Runs the sources behind the progress dialog with the shared settings;
// returns the sources left without an output, in order, with their reasons.
std::vector<FailedFile> runRecompressionJob(CMainFrame& frame, int id, bool overwrite,
                                            std::vector<std::filesystem::path> sources) {
    BatchJob job;
    job.command = id;
    job.settings = &frame.settings.compression;
    job.overwrite = overwrite;
    job.keepTime = frame.settings.keepTime != 0;
    job.workers = batchWorkerCount(frame.settings.batchWorkers);
    job.sourcePaths = std::move(sources);
    std::vector<FailedFile> missing;
    job.worker = recompressionWorker(missing);
    runBatch(&frame, job);
    return missing;
}

void recompressCommand(CMainFrame& frame, int id) {
    const std::vector<int> rows = frame.fileList().selectedRows();
    if (rows.empty()) return;
    if (runCompressionDialog(&frame, frame.settings.compression) != 1) return;
    frame.listReady = 0;
    std::vector<std::filesystem::path> sources;
    for (int row : rows) sources.push_back(frame.rowPath(row));
    const std::vector<FailedFile> missing = runRecompressionJob(frame, id, frame.settings.overwrite != 0, std::move(sources));
    frame.RefreshList(rows.back());
    // Files that got no output are named, so a finished job is never taken
    // for a complete one.
    if (!missing.empty())
        showMessage(&frame, kMessageInfo, QString::fromUtf8(commandText(id)),
                    failureList(QStringLiteral("次のファイルからはJPEGファイルを作成出来ませんでした。\n\n"), missing));
}

void newJpegCommand(CMainFrame& frame, int id) {
    const QStringList files = frame.imageFileChooser ? frame.imageFileChooser(&frame) : QStringList();
    if (files.isEmpty()) return;
    if (runCompressionDialog(&frame, frame.settings.compression) != 1) return;
    std::vector<std::filesystem::path> sources;
    for (const QString& f : files) sources.emplace_back(f.toStdString());
    const std::vector<FailedFile> missing = runRecompressionJob(frame, id, false, std::move(sources));
    // A picture that got no file (no quality met the size limit) is as
    // incomplete as one that could not be read.
    const QString title = QStringLiteral("フォーマット変換");
    if (missing.empty())
        showMessage(&frame, 2, title, QStringLiteral("変換を完了しました。"));
    else
        showMessage(&frame, kMessageInfo, title, failureList(QStringLiteral("convert incomplete.\n\n"), missing));
}

}  // namespace

void registerImagingCommands(CMainFrame& frame) {
    frame.setCommandHandler(ID_RECOMPRESS, recompressCommand);
    frame.setCommandHandler(ID_NEW_JPEG, newJpegCommand);
    if (!frame.imageFileChooser)
        frame.imageFileChooser = [&frame](QWidget* owner) { return chooseImageFiles(owner, frame.folderPath); };
}

}  // namespace quill
