#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace quill::cli {
namespace {

std::string clock(long long seconds) {
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

// Appends the UTF-8 name while it fits in room columns; characters outside
// ASCII count two columns, which is exact for CJK and safe for the rest.
std::size_t appendFitting(std::string& line, const std::string& name, std::size_t room) {
    std::size_t used = 0;
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char lead = static_cast<unsigned char>(name[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (i + length > name.size()) length = name.size() - i;
        const std::size_t columns = lead < 0x80 ? 1 : 2;
        if (used + columns > room) break;
        line.append(name, i, length);
        used += columns;
        i += length;
    }
    return used;
}

}  // namespace

BatchProgress::BatchProgress(std::size_t total) : total_(total), start_(std::chrono::steady_clock::now()) {
    enabled_ = total > 1 && ::isatty(STDERR_FILENO);
    winsize size = {};
    if (enabled_ && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20) width_ = size.ws_col;
}

void BatchProgress::show(std::size_t index, const std::filesystem::path& file) {
    if (!enabled_) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string line = "\r[" + std::to_string(index + 1) + "/" + std::to_string(total_) + "] " +
                       clock(static_cast<long long>(elapsed)) + " elapsed, ";
    // The rest at the pace so far; unknown until one file is done.
    line += index == 0 ? std::string("--:--")
                       : clock(static_cast<long long>(elapsed / index * (total_ - index) + 0.5));
    line += " left  ";
    std::size_t columns = line.size() - 1;
    // One column spare: a line that fills the terminal would wrap.
    if (columns + 1 < width_) columns += appendFitting(line, file.filename().string(), width_ - 1 - columns);
    if (columns < drawn_) line.append(drawn_ - columns, ' ');
    drawn_ = columns;
    std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void BatchProgress::clear() {
    if (!enabled_ || drawn_ == 0) return;
    const std::string blank = "\r" + std::string(drawn_, ' ') + "\r";
    std::fwrite(blank.data(), 1, blank.size(), stderr);
    drawn_ = 0;
}

}  // namespace quill::cli
