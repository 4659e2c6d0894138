// Figures for the file list: listing a folder in the main window against
// the command-line scan of the same folder, and sorting by each column.
// The folder is made with quill-make-samples beside this program unless it
// already holds files.
#include "app/main_frame.h"
#include "inspection/folder_listing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Times every column's sort (ascending, then descending); returns the worst.
double sortAllColumns(quill::FileListView& list, bool print) {
    double worst = 0;
    for (int c = 0; c < quill::kListColumns; ++c) {
        for (int pass = 0; pass < 2; ++pass) {
            const double t = secondsOf([&] { list.columnClick(c); });
            worst = std::max(worst, t);
            if (print && pass == 0) std::printf("  column %2d: %7.1f ms\n", c, t * 1000);
        }
    }
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::filesystem::path here = std::filesystem::absolute(argv[0]).parent_path();
    const std::filesystem::path dir = argc > 2 ? std::filesystem::path(argv[2]) : here / "bench-samples";

    std::error_code ec;
    if (!std::filesystem::exists(dir / "photo_0001.jpg", ec)) {
        std::printf("making %d sample JPEGs in %s ...\n", count, dir.c_str());
        const std::string make = quoted(here / "quill-make-samples") + " " + quoted(dir) + " " + std::to_string(count);
        if (std::system(make.c_str()) != 0) return 1;
    }

    const std::filesystem::path cli = here / "quillmark-cli";
    double cliBest = 0;
    if (std::filesystem::exists(cli, ec)) {
        const std::string scan = quoted(cli) + " scan " + quoted(dir) + " > /dev/null";
        for (int i = 0; i < 3; ++i) {
            const double t = secondsOf([&] { (void)std::system(scan.c_str()); });
            cliBest = i == 0 ? t : std::min(cliBest, t);
        }
    }

    const std::filesystem::path settings = std::filesystem::temp_directory_path() / "quill-bench-status.ini";
    quill::CMainFrame frame(settings);
    frame.resize(1100, 700);
    frame.show();
    QApplication::processEvents();
    double listBest = 0;
    for (int i = 0; i < 3; ++i) {
        const double t = secondsOf([&] {
            frame.listChosenFolder(QString::fromStdString(dir.string()));
            QApplication::processEvents();
        });
        listBest = i == 0 ? t : std::min(listBest, t);
    }
    quill::FileListView& list = frame.fileList();
    std::printf("folder: %s, %d rows listed\n", dir.c_str(), list.rowCount());
    if (cliBest > 0)
        std::printf("quillmark-cli scan: %8.1f ms   window listing: %8.1f ms   (%+.0f %%)\n", cliBest * 1000,
                    listBest * 1000, (listBest / cliBest - 1) * 100);
    else
        std::printf("window listing: %8.1f ms (quillmark-cli not built)\n", listBest * 1000);

    std::printf("sort of %d rows by each column (first click):\n", list.rowCount());
    const double worst = sortAllColumns(list, true);
    std::printf("worst sort of %d rows: %.1f ms\n", list.rowCount(), worst * 1000);

    // 100,000 rows: the listed rows repeated.
    std::vector<quill::JpegInfo> rows;
    for (int r = 0; r < list.rowCount(); ++r) {
        quill::JpegInfo info;
        for (int c = 0; c < quill::kListColumns; ++c) info.fields[c] = std::string(list.model()->cell(r, c));
        rows.push_back(std::move(info));
    }
    if (!rows.empty()) {
        list.model()->clear();
        const double fill = secondsOf([&] {
            while (list.rowCount() < 100000) {
                const std::size_t n = std::min<std::size_t>(rows.size(), 100000 - list.rowCount());
                list.model()->appendRows(std::vector<quill::JpegInfo>(rows.begin(), rows.begin() + n));
            }
            QApplication::processEvents();
        });
        {
            quill::FileListModel bare;
            bare.appendRows(std::vector<quill::JpegInfo>(rows.begin(), rows.end()));
            while (bare.rowCount() < 100000) bare.appendRows(std::vector<quill::JpegInfo>(rows.begin(), rows.begin() + std::min<std::size_t>(rows.size(), 100000 - bare.rowCount())));
            double worst = 0;
            for (int c = 0; c < quill::kListColumns; ++c)
                worst = std::max(worst, secondsOf([&] { bare.sortRows(c, quill::columnSortKind(c), c % 2); }));
            std::printf("100000 rows, model alone: worst sort %.1f ms\n", worst * 1000);
        }
        const double plain = sortAllColumns(list, false);
        for (int r = 0; r < list.rowCount(); r += 3) list.table()->selectionModel()->select(
            list.model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const double third = sortAllColumns(list, false);
        list.setAllSelected(true);
        const double all = sortAllColumns(list, false);
        const double select = secondsOf([&] { frame.onCommand(57632); frame.onCommand(57632); });
        std::printf("100000 rows: fill %.1f ms; worst sort %.1f ms with no row selected, %.1f ms with every third row "
                    "selected, %.1f ms with all selected; select toggle twice %.1f ms\n",
                    fill * 1000, plain * 1000, third * 1000, all * 1000, select * 1000);
    }
    frame.close();
    std::filesystem::remove(settings, ec);
    return 0;
}
