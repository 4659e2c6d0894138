// The preview loader: one worker thread decodes the picture of the file
// last asked for and hands it to the preview pane. A new request supersedes
// the one before: the interface thread never waits for a decode, and a
// superseded or cancelled picture never reaches the pane. A decode already
// running is not interrupted; its result is dropped.
#pragma once

#include <QImage>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace quill {

class PreviewPane;

class PreviewLoader {
public:
    // Decodes a file into a picture; a null image means the load failed.
    using LoadFunction = std::function<QImage(const std::string& path)>;

    explicit PreviewLoader(LoadFunction load);
    // Abandons what is pending and waits for a running decode to end.
    ~PreviewLoader();
    PreviewLoader(const PreviewLoader&) = delete;
    PreviewLoader& operator=(const PreviewLoader&) = delete;

    // Loads path for the pane and returns at once. The pane shows the
    // picture, or nothing when the file cannot be loaded; it is told through
    // its event queue, so a request superseded before then shows nothing.
    void start(const std::string& path, PreviewPane* pane);
    // Abandons the pending and the running request; returns at once.
    void cancel();
    // Waits until no decode runs or waits to run. The result still arrives
    // through the event queue.
    void wait();
    // A decode runs or waits to run.
    bool running() const;

    void setLoadFunction(LoadFunction load);

private:
    struct Request {
        std::string path;
        PreviewPane* pane;
        std::uint64_t ticket;
    };
    void work();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<Request> pending_;
    bool busy_ = false;
    bool stop_ = false;
    LoadFunction load_;
    // The ticket of the request whose picture may still show; changed and
    // compared on the interface thread only, shared with queued deliveries.
    std::shared_ptr<std::atomic<std::uint64_t>> current_;
    std::thread thread_;
};

}  // namespace quill
