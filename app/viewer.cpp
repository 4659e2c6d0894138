#include "app/viewer.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "app/message_dialog.h"
#include "settings/app_settings.h"

namespace quill {

void openInViewer(QWidget* owner, const AppSettings& settings, const std::filesystem::path& file) {
    const QString path = QFile::decodeName(file.c_str());
    if (settings.useViewer == 0) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        return;
    }
    const QString viewer = QString::fromStdString(settings.viewerPath);
    QFile probe(viewer);
    if (!viewer.isEmpty() && QFileInfo(viewer).isFile() && probe.open(QIODevice::ReadOnly)) {
        probe.close();
        // One argument, no shell: blanks and quotes in the path need no quoting.
        QProcess::startDetached(viewer, {path});
        return;
    }
    showMessage(owner, kMessageInfo, QStringLiteral("ビューワーエラー"), QStringLiteral("指定したビューワーがありません。"));
}

}  // namespace quill
