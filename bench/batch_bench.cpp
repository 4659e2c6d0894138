// Figures for the batch runner: the clean command over a folder of small
// files in the window, against the same files converted in a bare loop on
// one thread, and how often the progress dialog repainted meanwhile. The
// folder is made with quill-make-samples unless it already holds files.
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "lossless/lossless_worker.h"

#include <QApplication>
#include <QEvent>
#include <QTableView>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

namespace fs = std::filesystem;

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void removeOutputs(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().find("_cleaned") != std::string::npos) fs::remove(e.path());
}

// Counts the paint events of the progress bar and the counter label.
class PaintCounter : public QObject {
public:
    int bar = 0, counter = 0, dialogs = 0;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && o->objectName() == "progressDialog") ++dialogs;
        if (e->type() == QEvent::Paint && o->objectName() == "bar") ++bar;
        if (e->type() == QEvent::Paint && o->objectName() == "counter") ++counter;
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const fs::path here = fs::absolute(argv[0]).parent_path();
    const fs::path dir = argc > 2 ? fs::path(argv[2]) : here / "bench-batch";
    std::error_code ec;
    if (!fs::exists(dir / "photo_0001.jpg", ec)) {
        std::printf("making %d sample JPEGs in %s ...\n", count, dir.c_str());
        std::string make = "'";
        make.append((here / "quill-make-samples").string()).append("' '").append(dir.string()).append("' ");
        make.append(std::to_string(count));
        if (std::system(make.c_str()) != 0) return 1;
    }
    removeOutputs(dir);

    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
    const quill::LosslessBatchSettings clean{quill::LosslessOp::OpClean};
    const double bare = secondsOf([&] {
        for (const fs::path& f : files) quill::convertBatchFile(clean, f, true, false, nullptr);
    });
    removeOutputs(dir);

    const fs::path settings = fs::temp_directory_path() / "quill-bench-batch-status.ini";
    quill::CMainFrame frame(settings);
    frame.resize(1100, 700);
    frame.show();
    frame.listChosenFolder(QString::fromStdString(dir.string()));
    QApplication::processEvents();
    frame.fileList().table()->selectAll();
    PaintCounter paints;
    app.installEventFilter(&paints);
    const int rows = frame.fileList().selectedCount();
    const double window = secondsOf([&] { frame.onCommand(quill::ID_OP_CLEAN); });
    app.removeEventFilter(&paints);
    const double refresh = secondsOf([&] { frame.RefreshList(0); });
    removeOutputs(dir);

    std::printf("%zu files: bare loop %.0f ms; clean command over %d rows in the window %.0f ms, of which the "
                "list refresh takes about %.0f ms: batch %+.0f %% against the bare loop\n",
                files.size(), bare * 1000, rows, window * 1000, refresh * 1000,
                ((window - refresh) / bare - 1) * 100);
    std::printf("progress dialogs shown %d; repaints: bar %d, counter %d (%.1f per second)\n", paints.dialogs,
                paints.bar, paints.counter, paints.bar / window);
    frame.close();
    fs::remove(settings, ec);
    return 0;
}
