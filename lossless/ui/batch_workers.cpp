#include "lossless/ui/batch_workers.h"

#include "app/command_ids.h"
#include "app/file_list_model.h"
#include "app/message_dialog.h"
#include "base/file_util.h"
#include "lossless/lossless_worker.h"
#include "lossless/ui/lossless_commands.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <string_view>

namespace quill {

namespace {

// A message template with its "%s" replaced by the path.
QString messageFor(std::string_view pattern, const std::filesystem::path& path) {
    QString text = QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size()));
    return text.replace(QStringLiteral("%s"), displayPath(path));
}

QString textOf(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

const std::string& entry(const std::vector<std::string>& texts, int i) {
    static const std::string none;
    return static_cast<std::size_t>(i) < texts.size() ? texts[static_cast<std::size_t>(i)] : none;
}

}  // namespace

int losslessWorker(BatchJob& job) {
    const std::optional<LosslessOp> op = losslessOpForCommand(job.command);
    if (!op) return 1;
    // Convert first (side by side on the workers), then name and replace one
    // file at a time in order, so the replacement (and its question) comes
    // only after a complete new file exists.
    const LosslessBatchSettings settings{.op = *op,
                                         .forceProgressive = job.forceProgressive,
                                         .forceRegularSize = job.forceRegularSize,
                                         .keepIcc = job.keepIcc,
                                         .keepTime = job.keepTime,
                                         .resetOrientation = job.resetOrientation};
    std::vector<ConvertedFile> converted(job.sourcePaths.size());
    auto work = [&](int i) {
        converted[static_cast<std::size_t>(i)] =
            convertToStaged(settings, job.sourcePaths[static_cast<std::size_t>(i)],
                            sourceHasApp0(entry(job.app0Texts, i)), sourceIsProgressive(entry(job.codingTexts, i)));
        if (converted[static_cast<std::size_t>(i)].staged) reachBatchStep(job, i, BatchStep::FileConverted);
    };
    auto finish = [&](int i) {
        const std::filesystem::path& source = job.sourcePaths[static_cast<std::size_t>(i)];
        const LosslessFileResult placed =
            placeConverted(settings, source, std::move(converted[static_cast<std::size_t>(i)]), nullptr);
        if (placed.unchanged) return;
        if (!placed.converted) {
            job.failedFiles.push_back({source, placed.why});
            return;
        }
        ++job.successCount;
        if (!job.overwrite) return;
        FileResult why;
        const ReplaceOutcome outcome = replaceSource(
            source, placed.outputPath,
            [&](const std::filesystem::path& p) {
                return askFromWorker(job, kMessageQuestion, textOf(kOverwriteConfirmTitle),
                                     messageFor(kOverwriteConfirmText, p)) == 1;
            },
            &why);
        if (outcome == ReplaceOutcome::AttributesUnreadable)
            askFromWorker(job, kMessageInfo, textOf(kOverwriteErrorTitle), messageFor(kOverwriteErrorText, source));
        // The new file stays under its own name; the source is as it was.
        if (outcome == ReplaceOutcome::Failed) job.failedFiles.push_back({source, std::move(why)});
    };
    forEachBatchFile(job, work, finish);
    return 1;
}

int deleteWorker(BatchJob& job) {
    forEachBatchFile(job, [&](int i) {
        const std::filesystem::path& path = job.sourcePaths[static_cast<std::size_t>(i)];
        // A short pause per file keeps the progress readable; cancel cuts it
        // short, and the file it was meant for is still done.
        job.cancelRequested.waitFor(std::chrono::milliseconds(100));
        const std::optional<FileStatus> status = statFile(path);
        if (!status) return;
        if (!status->writable) {
            if (askFromWorker(job, kMessageQuestion, textOf(kDeleteConfirmTitle),
                              messageFor(kDeleteConfirmText, path)) != 1)
                return;
            // The trash keeps the file as it was, read-only included.
            if (!job.useTrash) makeWritable(path);
        }
        if (FileResult why = deleteFile(path, job.useTrash))
            ++job.successCount;
        else
            job.failedFiles.push_back({path, std::move(why)});
    });
    return 1;
}

FileResult deleteFile(const std::filesystem::path& path, bool toTrash) {
    if (!toTrash) return removeFile(path) ? FileResult{} : failureFromErrno(errno, path.string());
    // As unlink(2) refuses them, a folder is never trashed in a file's place.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return failureFromErrno(errno, path.string());
    if (S_ISDIR(st.st_mode)) return failureFromErrno(EISDIR, path.string());
    // Qt makes the Trash folder but not the data folder it lies in, which a
    // fresh account may lack.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (QFile::moveToTrash(QFile::decodeName(path.c_str()))) return {};
    return FileResult::fail(FailReason::Other, "could not move to the trash: " + path.string());
}

BatchWorker builtInWorker(int command) {
    if (command == ID_FILE_DELETE) return deleteWorker;
    return losslessWorker;
}

}  // namespace quill
