// The preview loader: at most one thread at a time loads the picture of the
// selected file and hands it to the preview pane. Starting a new load waits
// for the previous one, so the pane never receives pictures out of order.
#pragma once

#include <QImage>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace quill {

class PreviewPane;

class PreviewLoader {
public:
    // Decodes a file into a picture; a null image means the load failed.
    using LoadFunction = std::function<QImage(const std::string& path)>;

    explicit PreviewLoader(LoadFunction load);
    ~PreviewLoader();
    PreviewLoader(const PreviewLoader&) = delete;
    PreviewLoader& operator=(const PreviewLoader&) = delete;

    // Waits for the running load, then loads path on a new thread. A failed
    // load leaves the pane as it was.
    void start(const std::string& path, PreviewPane* pane);
    // Waits without limit for the running load to end.
    void wait();
    bool running() const { return running_.load(); }

    void setLoadFunction(LoadFunction load);

private:
    LoadFunction load_;
    std::thread thread_;
    std::atomic<bool> running_{false};
};

}  // namespace quill
