#include "app/viewer.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "app/message_dialog.h"
#include "settings/app_settings.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <thread>

extern char** environ;

namespace quill {

namespace {

// Starts program with one argument, in a session of its own, without a
// shell; the bytes are passed as they are. A thread reaps it when it ends.
bool spawnDetached(const std::string& program, const std::string& argument) {
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) return false;
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return false;
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace

QUrl fileUrl(const std::filesystem::path& path) {
    const QByteArray bytes(path.c_str(), qsizetype(path.native().size()));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

std::filesystem::path localFilePath(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

void openInViewer(QWidget* owner, const AppSettings& settings, const std::filesystem::path& file) {
    if (settings.useViewer == 0) {
        QDesktopServices::openUrl(fileUrl(file));
        return;
    }
    const QString viewer = QString::fromStdString(settings.viewerPath);
    QFile probe(viewer);
    if (!viewer.isEmpty() && QFileInfo(viewer).isFile() && probe.open(QIODevice::ReadOnly)) {
        probe.close();
        // One argument, no shell: blanks and quotes in the path need no quoting.
        spawnDetached(settings.viewerPath, file.native());
        return;
    }
    showMessage(owner, kMessageInfo, QStringLiteral("ビューワーエラー"), QStringLiteral("指定したビューワーがありません。"));
}

}  // namespace quill
