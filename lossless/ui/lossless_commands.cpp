#include "lossless/ui/lossless_commands.h"

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "base/ordered_batch.h"
#include "inspection/jpeg_info.h"
#include "lossless/ui/batch_runner.h"

namespace quill {
namespace {

struct BatchCommand {
    int id;
    std::optional<LosslessOp> op;
    const char* caption;
};

constexpr BatchCommand kBatchCommands[] = {
    {ID_OP_CLEAN, LosslessOp::OpClean, "クリーン変換中..."},
    {ID_OP_BASELINE, LosslessOp::OpBaseline, "ベースライン変換中..."},
    {ID_OP_PROGRESSIVE, LosslessOp::OpProgressive, "プログレッシブ変換中..."},
    {ID_OP_GRAYSCALE, LosslessOp::OpGrayscale, "グレースケール変換中..."},
    {ID_OP_ROTATE_R90, LosslessOp::OpRotateRight90, "90度(時計回り)回転中..."},
    {ID_OP_ROTATE_L90, LosslessOp::OpRotateLeft90, "90度(反時計回り)回転中..."},
    {ID_OP_ROTATE_180, LosslessOp::OpRotate180, "180度(時計回り)回転中..."},
    {ID_OP_FLIP_H, LosslessOp::OpFlipHorizontal, "水平反転中..."},
    {ID_OP_FLIP_V, LosslessOp::OpFlipVertical, "垂直反転中..."},
    {ID_OP_TRANSPOSE, LosslessOp::OpTranspose, "縦横の入れ替え[正]中..."},
    {ID_OP_TRANSVERSE, LosslessOp::OpTransverse, "縦横の入れ替え[負]中..."},
    {ID_OP_NONE, LosslessOp::OpNoTransform, "標準(無回転)変換中..."},
    {ID_OP_AUTO_ROTATE, LosslessOp::OpAutoRotate, "Exifの向きに従って回転中..."},
    {ID_FILE_DELETE, std::nullopt, "ファイル削除中..."},
    {ID_RECOMPRESS, std::nullopt, "再圧縮JPEG作成中..."},
    {ID_NEW_JPEG, std::nullopt, "新規JPEG作成中..."},
};

const BatchCommand* batchCommand(int id) {
    for (const BatchCommand& c : kBatchCommands)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace

std::optional<LosslessOp> losslessOpForCommand(int id) {
    const BatchCommand* c = batchCommand(id);
    return c ? c->op : std::nullopt;
}

const char* progressCaption(int id) {
    const BatchCommand* c = batchCommand(id);
    return c ? c->caption : "ロスレス処理中...";
}

void runLosslessCommand(CMainFrame& frame, int id) {
    const std::vector<int> rows = frame.fileList().selectedRows();
    if (rows.empty()) return;
    frame.listReady = 0;
    BatchJob job;
    job.command = id;
    job.overwrite = frame.settings.overwrite != 0;
    job.forceProgressive = frame.settings.forceProgressive != 0;
    job.keepIcc = frame.settings.keepIcc != 0;
    job.keepTime = frame.settings.keepTime != 0;
    job.resetOrientation = frame.settings.resetOrientation != 0;
    job.workers = batchWorkerCount(frame.settings.batchWorkers);
    for (int row : rows) {
        job.sourcePaths.push_back(frame.rowPath(row));
        job.app0Texts.push_back(frame.fileList().cellText(row, kColApp0).toStdString());
        job.codingTexts.push_back(frame.fileList().cellText(row, kColCoding).toStdString());
    }
    runBatch(&frame, job);
    frame.RefreshList(rows.back());
}

void registerLosslessCommands(CMainFrame& frame) {
    for (const BatchCommand& c : kBatchCommands)
        if (c.op) frame.setCommandHandler(c.id, runLosslessCommand);
}

}  // namespace quill
