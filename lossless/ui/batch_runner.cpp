// The progress dialog and its worker thread. The dialog owns the thread: it
// starts it as it opens and joins it before it returns, so a job never
// outlives its worker. Progress reaches the labels through at most one queued
// call at a time, and at most every kRefreshMs, so thousands of quick files
// cost the interface thread a few repaints a second.
#include "lossless/ui/batch_runner.h"

#include "app/dialog_placement.h"
#include "app/file_list_model.h"
#include "app/message_dialog.h"
#include "base/ordered_batch.h"
#include "lossless/ui/batch_workers.h"
#include "lossless/ui/lossless_commands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <thread>

namespace quill {

void CancelFlag::set() {
    {
        std::lock_guard lock(mutex_);
        set_.store(true);
    }
    wake_.notify_all();
}

bool CancelFlag::waitFor(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, time, [this] { return set_.load(); });
}

namespace {

constexpr int kRefreshMs = 30;

BatchStepHook& stepHook() {
    static BatchStepHook hook;
    return hook;
}

// Whole percent of the way from rangeMin to rangeMax, truncated, in integers
// (29 of 100 is 29 %, which the same sum in doubles makes 28).
int percentDone(const BatchJob& job, int position) {
    const long long span = static_cast<long long>(job.rangeMax) - job.rangeMin;
    if (span <= 0) return 0;
    const long long done = std::clamp<long long>(position - static_cast<long long>(job.rangeMin), 0, span);
    return static_cast<int>(done * 100 / span);
}

// A path breaks after its separators when it needs more than one line.
QString wrappablePath(const std::filesystem::path& path) {
    QString text = displayPath(path);
    text.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    return text;
}

// The bar fills the left part in the highlight colour and writes the
// percentage over both parts, each in the colour that reads on it.
class BatchProgressBar : public QProgressBar {
public:
    BatchProgressBar(const BatchJob& job, QWidget* parent) : QProgressBar(parent), job_(job) {
        font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font_.setPixelSize(12);
        font_.setWeight(QFont::Normal);
    }

    // What the bar writes, also what screen readers read.
    QString text() const override {
        if (!job_.barText.isEmpty()) return job_.barText;
        return QString::asprintf("%d%%", percentDone(job_, job_.position.load()));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        const QRect client = rect().adjusted(1, 1, -1, -1);
        const int position = job_.position.load();
        const long long span = static_cast<long long>(job_.rangeMax) - job_.rangeMin;
        const long long done =
            span <= 0 ? 0 : std::clamp<long long>(position - static_cast<long long>(job_.rangeMin), 0, span);
        const int filled = span <= 0 ? 0 : static_cast<int>(client.width() * done / span);
        const QRect fill(client.left(), client.top(), filled, client.height());
        const QRect empty(client.left() + filled, client.top(), client.width() - filled, client.height());
        p.fillRect(fill, palette().color(QPalette::Highlight));
        p.fillRect(empty, palette().color(QPalette::Base));
        if (!job_.showText) return;
        const QString label = text();
        p.setFont(font_);
        p.setClipRect(fill);
        p.setPen(palette().color(QPalette::HighlightedText));
        p.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, label);
        p.setClipRect(empty);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, label);
    }

private:
    const BatchJob& job_;
    QFont font_;
};

class ProgressDialog : public QDialog {
public:
    ProgressDialog(QWidget* owner, BatchJob& job) : QDialog(owner), job_(job) {
        setObjectName(QStringLiteral("progressDialog"));
        // A title and nothing else: the only way out is the cancel command.
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        setWindowTitle(QString::fromUtf8(progressCaption(job.command)));

        const DialogUnits du = dialogUnits(font());
        auto place = [&](QWidget* w, int x, int y, int width, int height) { w->setGeometry(du.rect(x, y, width, height)); };

        counter_ = new QLabel(this);
        counter_->setObjectName(QStringLiteral("counter"));
        counter_->setAccessibleName(QStringLiteral("処理済みのファイル数"));
        place(counter_, 6, 6, 120, 15);
        path_ = new QLabel(this);
        path_->setObjectName(QStringLiteral("path"));
        path_->setAccessibleName(QStringLiteral("処理中のファイル"));
        path_->setWordWrap(true);
        path_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(path_, 6, 24, 288, 30);
        bar_ = new BatchProgressBar(job, this);
        bar_->setObjectName(QStringLiteral("bar"));
        bar_->setAccessibleName(QStringLiteral("進行状況"));
        place(bar_, 6, 66, 288, 15);
        cancel_ = new QPushButton(QStringLiteral("中止"), this);
        cancel_->setObjectName(QStringLiteral("cancel"));
        cancel_->setToolTip(QStringLiteral("中止 (Esc)"));
        place(cancel_, 120, 93, 60, 15);
        connect(cancel_, &QPushButton::clicked, this, [this] { cancelCommand(); });
        setFixedSize(du.width(300), du.height(120));

        refresh_.setSingleShot(true);
        connect(&refresh_, &QTimer::timeout, this, [this] { showProgress(false); });
    }

    int run(BatchWorker worker) {
        job_.dialog = this;
        job_.rangeMin = 0;
        job_.rangeMax = static_cast<int>(job_.sourcePaths.size());
        job_.position = 0;
        bar_->setRange(job_.rangeMin, std::max(job_.rangeMax, 1));
        bar_->setValue(0);
        placeDialog(*this, parentWidget());
        cancel_->setFocus();

        running_ = true;
        thread_ = std::thread([this, worker = std::move(worker)] {
            int result = 0;
            try {
                result = worker(job_);
            } catch (...) {
                result = 0;
            }
            running_ = false;
            QMetaObject::invokeMethod(this, [this, result] { workerEnded(result); }, Qt::QueuedConnection);
        });
        const int result = exec();
        // Closed some other way (the application quitting): the worker still
        // needs the event loop for its questions, so wait for it with one.
        if (running_) {
            job_.cancelRequested.set();
            QEventLoop loop;
            waiting_ = &loop;
            loop.exec();
            waiting_ = nullptr;
        }
        thread_.join();
        job_.dialog = nullptr;
        return result;
    }

    // Worker thread: asks for a repaint unless one is already on its way.
    void post() {
        if (posted_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                posted_ = false;
                showProgress(false);
            },
            Qt::QueuedConnection);
    }

protected:
    // Esc is the cancel command; it never closes the dialog by itself.
    void reject() override { cancelCommand(); }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        cancelCommand();
    }

private:
    void cancelCommand() {
        job_.cancelRequested.set();
        if (running_) {
            cancel_->setText(QStringLiteral("キャンセル中..."));
            cancel_->setEnabled(false);
        } else {
            done(2);
        }
    }

    void workerEnded(int result) {
        showProgress(true);
        if (waiting_)
            waiting_->quit();
        else
            done(result);
    }

    void showProgress(bool final) {
        if (!final && shown_.isValid() && shown_.elapsed() < kRefreshMs) {
            if (!refresh_.isActive()) refresh_.start(static_cast<int>(kRefreshMs - shown_.elapsed()));
            return;
        }
        refresh_.stop();
        shown_.start();
        const int position = job_.position.load();
        const int n = static_cast<int>(job_.sourcePaths.size());
        if (position > 0 && position <= n) {
            counter_->setText(QString::asprintf("[ %d / %d ]", position, n));
            path_->setText(wrappablePath(job_.sourcePaths[position - 1]));
        }
        bar_->setValue(std::clamp(position, bar_->minimum(), bar_->maximum()));
        bar_->update();
    }

    BatchJob& job_;
    QLabel* counter_;
    QLabel* path_;
    BatchProgressBar* bar_;
    QPushButton* cancel_;
    QTimer refresh_;
    QElapsedTimer shown_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> posted_{false};
    QEventLoop* waiting_ = nullptr;
};

}  // namespace

int runBatch(QWidget* owner, BatchJob& job) {
    BatchWorker worker = job.worker ? job.worker : builtInWorker(job.command);
    ProgressDialog dialog(owner, job);
    return dialog.run(std::move(worker));
}

void forEachBatchFile(BatchJob& job, const std::function<void(int index)>& work,
                      const std::function<void(int index)>& finish) {
    std::mutex mutex;
    int started = 0, finished = 0;
    auto step = [&](int& count) {
        {
            std::lock_guard lock(mutex);
            ++count;
            job.position = std::min(finished + 1, started);
        }
        if (job.dialog) static_cast<ProgressDialog*>(job.dialog)->post();
    };
    OrderedBatch batch;
    batch.count = static_cast<int>(job.sourcePaths.size());
    batch.workers = job.workers;
    batch.cancelled = [&job] { return job.cancelRequested.isSet(); };
    batch.work = [&](int i) {
        step(started);
        reachBatchStep(job, i, BatchStep::FileStarted);
        work(i);
    };
    batch.finish = [&](int i) {
        if (finish) finish(i);
        step(finished);
    };
    runOrderedBatch(batch);
}

int askFromWorker(BatchJob& job, int kind, const QString& title, const QString& text) {
    static std::mutex asking;
    std::lock_guard lock(asking);
    return showMessage(job.dialog, kind, title, text);
}

void setBatchStepHook(BatchStepHook hook) { stepHook() = std::move(hook); }

void reachBatchStep(const BatchJob& job, int index, BatchStep step) {
    if (const BatchStepHook& hook = stepHook()) hook(job, index, step);
}

}  // namespace quill
