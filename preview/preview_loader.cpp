// One worker, one pending request: the latest wins.
#include "preview/preview_loader.h"

#include "preview/preview_pane.h"

#include <QMetaObject>

namespace quill {

PreviewLoader::PreviewLoader(LoadFunction load)
    : load_(std::move(load)), current_(std::make_shared<std::atomic<std::uint64_t>>(0)) {}

PreviewLoader::~PreviewLoader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        pending_.reset();
    }
    ++*current_;
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PreviewLoader::start(const std::string& path, PreviewPane* pane) {
    const std::uint64_t ticket = ++*current_;
    if (!pane) return;
    pane->expectPicture();
    {
        std::lock_guard lock(mutex_);
        if (!load_) return;
        pending_ = Request{path, pane, ticket};
        if (!thread_.joinable()) thread_ = std::thread([this] { work(); });
    }
    wake_.notify_all();
}

void PreviewLoader::cancel() {
    ++*current_;
    std::lock_guard lock(mutex_);
    pending_.reset();
}

void PreviewLoader::wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_ && !pending_; });
}

bool PreviewLoader::running() const {
    std::lock_guard lock(mutex_);
    return busy_ || pending_.has_value();
}

void PreviewLoader::setLoadFunction(LoadFunction load) {
    cancel();
    wait();
    std::lock_guard lock(mutex_);
    load_ = std::move(load);
}

void PreviewLoader::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_; });
        if (stop_) return;
        Request request = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        LoadFunction load = load_;
        lock.unlock();

        QImage image;
        try {
            image = load(request.path);
        } catch (...) {
            image = QImage();  // out of memory while decoding: nothing to show
        }
        // The pane is told on its own thread, where requests are made, so the
        // ticket comparison there cannot race a newer request.
        QMetaObject::invokeMethod(
            request.pane,
            [pane = request.pane, current = current_, ticket = request.ticket, image = std::move(image)]() mutable {
                if (current->load() != ticket) return;
                if (image.isNull())
                    pane->clearImage();
                else
                    pane->setImage(std::move(image));
            },
            Qt::QueuedConnection);

        lock.lock();
        busy_ = false;
        if (!pending_) idle_.notify_all();
    }
}

}  // namespace quill
