// One preview thread at a time.
#include "preview/preview_loader.h"

#include "preview/preview_pane.h"

namespace quill {

PreviewLoader::PreviewLoader(LoadFunction load) : load_(std::move(load)) {}

PreviewLoader::~PreviewLoader() { wait(); }

void PreviewLoader::wait() {
    if (thread_.joinable()) thread_.join();
    running_ = false;
}

void PreviewLoader::setLoadFunction(LoadFunction load) {
    wait();
    load_ = std::move(load);
}

void PreviewLoader::start(const std::string& path, PreviewPane* pane) {
    wait();
    if (!load_ || !pane) return;
    running_ = true;
    thread_ = std::thread([this, path, pane, load = load_] {
        QImage image = load(path);
        if (!image.isNull()) pane->setImage(std::move(image));
        running_ = false;
    });
}

}  // namespace quill
