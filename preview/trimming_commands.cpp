#include "preview/trimming_commands.h"

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "imaging/loaded_image.h"
#include "inspection/jpeg_info.h"
#include "preview/loaded_picture.h"
#include "preview/trimming_window.h"

#include <QGuiApplication>

namespace quill {

namespace {

// The trimming command: one listed row, decoded once at full size, cropped
// in the modal window; the folder is rescanned afterwards, so a crop saved
// beside its source is listed.
void TrimCommand(CMainFrame& frame) {
    FileListView& list = frame.fileList();
    const std::vector<int> rows = list.selectedRows();
    if (rows.size() != 1 || frame.listReady != 1) return;
    frame.listReady = 0;
    const int row = rows.front();

    TrimContext context;
    context.forceRegularSizeSetting = &frame.settings.forceRegularSize;
    context.sourcePath = frame.rowPath(row);
    context.keepJfif = list.cellText(row, kColApp0).isEmpty();
    context.keepTime = frame.settings.keepTime != 0;
    context.progressive =
        list.cellText(row, kColCoding) == QStringLiteral("Progressive") || frame.settings.forceProgressive != 0;

    QImage picture;
    int blockWidth = 0, blockHeight = 0;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    {
        LoadedImage loaded;
        if (loaded.LoadImageFile(context.sourcePath, 0)) {
            picture = pictureFrom(loaded);
            blockWidth = loaded.mcuWidth;
            blockHeight = loaded.mcuHeight;
        }
    }
    QGuiApplication::restoreOverrideCursor();
    if (picture.isNull() || blockWidth <= 0 || blockHeight <= 0) {
        list.table()->setFocus();
        frame.listReady = 1;
        return;
    }

    {
        TrimmingWindow window(std::move(context), std::move(picture), blockWidth, blockHeight, &frame);
        window.exec();
    }
    frame.RefreshList(row);
}

}  // namespace

void registerTrimmingCommands(CMainFrame& frame) {
    frame.setCommandHandler(ID_OP_TRIM, [](CMainFrame& f, int) { TrimCommand(f); });
}

}  // namespace quill
