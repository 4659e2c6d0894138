// Progress of a command over several files, for a person at a terminal: one
// line on stderr, "[3/10] 0:04 elapsed, 0:09 left  photo.jpg", redrawn in
// place. Silent when stderr is not a terminal, so scripts and logs see only
// results and failures.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>

namespace quill::cli {

class BatchProgress {
public:
    // Shown only for more than one file and a terminal on stderr.
    explicit BatchProgress(std::size_t total);
    ~BatchProgress() { clear(); }
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;

    // The line for the file about to be worked on; index counts from 0.
    void show(std::size_t index, const std::filesystem::path& file);
    // Takes the line away; call it before printing a result or a failure.
    void clear();

private:
    bool enabled_ = false;
    std::size_t total_ = 0;
    std::size_t width_ = 80;   // terminal columns
    std::size_t drawn_ = 0;    // columns of the line on screen
    std::chrono::steady_clock::time_point start_;
};

}  // namespace quill::cli
