// Helpers for the GUI tests. They run offscreen inside one QApplication
// (gui_test_main.cpp; quill_add_gui_test in tests.cmake builds such a binary)
// and never wait on the clock: a test reacts to what the program does, a
// window shown or a worker finished, so a loaded machine makes it slower but
// never changes its outcome. No sleeps, no polling timers, no give-up times.
//
// A modal dialog is answered from its own event loop, right after it shows:
//
//   auto watch = whenShown<QDialog>("optionsDialog", [&](QDialog* d) {
//       child<QCheckBox>(d, "useViewer")->click();
//       click(d, "button1");               // ends the dialog's exec()
//   });
//   runOptionsDialog(nullptr, settings);    // returns once the action ended it
//
// The action may open a nested dialog behind a watch of its own. Such a
// watch fires once and reports a failure if its window never showed;
// wheneverShown() answers every showing (each question of a batch) and
// counts them in shown(). An empty name takes any window of the type (a
// popup menu). Effects the program only queues (a repaint, a window-system
// geometry change) are delivered with processEvents().
//
// A worker thread that needs the interface thread (a question through
// showMessage, a progress dialog fed by queued signals) is awaited with a
// Latch, which runs the interface thread's events until it is opened. (A
// worker held at a step while the test looks at its dialog waits on a plain
// std::latch that the action counts down, as lossless_commands_test does.)
#pragma once

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "tests/support/test_files.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>

namespace quill::test {

// Runs an action on a widget of type T named `name` (any name when empty)
// each time one is shown, or only the first time. A watch for one showing
// reports a failure if none came.
template <class T>
class ShowWatch : public QObject {
public:
    enum class Times { Once, Every };
    ShowWatch(QString name, std::function<void(T*)> action, Times times)
        : name_(std::move(name)), action_(std::move(action)), times_(times) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~ShowWatch() override {
        QCoreApplication::instance()->removeEventFilter(this);
        if (times_ == Times::Once && shown_ == 0) ADD_FAILURE() << "never shown: " << name_.toStdString();
    }
    int shown() const { return shown_; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Show || (times_ == Times::Once && shown_ > 0)) return false;
        T* widget = qobject_cast<T*>(object);
        if (!widget || !widget->isWindow() || (!name_.isEmpty() && widget->objectName() != name_)) return false;
        ++shown_;
        // Queued: a modal dialog runs it from its own exec() loop, after show.
        QMetaObject::invokeMethod(
            this, [this, guarded = QPointer<T>(widget)] {
                if (guarded) action_(guarded.data());
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    QString name_;
    std::function<void(T*)> action_;
    Times times_;
    int shown_ = 0;
};

// Keep the result alive until the widget has shown: the watch ends with it.
template <class T>
[[nodiscard]] ShowWatch<T> whenShown(const QString& name, std::function<void(T*)> action) {
    return ShowWatch<T>(name, std::move(action), ShowWatch<T>::Times::Once);
}
template <class T>
[[nodiscard]] ShowWatch<T> wheneverShown(const QString& name, std::function<void(T*)> action) {
    return ShowWatch<T>(name, std::move(action), ShowWatch<T>::Times::Every);
}

// Expects the progress dialog of a batch to show, captioned `title`.
[[nodiscard]] inline ShowWatch<QDialog> expectProgress(const QString& title) {
    return whenShown<QDialog>(QStringLiteral("progressDialog"), [title](QDialog* d) {
        EXPECT_EQ(d->windowTitle().toStdString(), title.toStdString());
    });
}

// Opened once, from any thread; wait() runs the calling (interface) thread's
// events until then.
class Latch {
public:
    void open() {
        std::lock_guard lock(mutex_);
        opened_ = true;
        if (loop_) QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
    }
    void wait() {
        QEventLoop loop;
        {
            std::lock_guard lock(mutex_);
            if (opened_) return;
            loop_ = &loop;
        }
        loop.exec();
        std::lock_guard lock(mutex_);
        loop_ = nullptr;
    }

private:
    std::mutex mutex_;
    bool opened_ = false;
    QEventLoop* loop_ = nullptr;
};

// Delivers what is queued now, and what that queues in turn.
inline void processEvents() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

template <class T>
T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

inline void click(QWidget* w, const char* button) { child<QPushButton>(w, button)->click(); }

// What a message dialog said.
struct SeenMessage {
    QString title, text;
    bool twoButtons = false;
    bool operator==(const SeenMessage&) const = default;
};
inline void PrintTo(const SeenMessage& m, std::ostream* os) {
    *os << '{' << m.title.toStdString() << " | " << m.text.toStdString()
        << (m.twoButtons ? " | two buttons}" : "}");
}

// Answers every message dialog in turn: 1 the first button, 2 the second
// ("キャンセル"); `whenOut` once the answers run out. With `byReturn` the
// first button is pressed by the Return key, as a user would.
struct MessageAnswers {
    explicit MessageAnswers(std::deque<int> a = {}, int whenOut = 2, bool byReturn = false)
        : answers(std::move(a)),
          watch(wheneverShown<QDialog>(QStringLiteral("messageDialog"), [this, whenOut, byReturn](QDialog* d) {
              seen.push_back({d->windowTitle(), child<QLabel>(d, "text")->text(),
                              child<QPushButton>(d, "button2")->isVisibleTo(d)});
              const int answer = answers.empty() ? whenOut : answers.front();
              if (!answers.empty()) answers.pop_front();
              if (answer == 1 && byReturn)
                  QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, Qt::Key_Return);
              else
                  click(d, answer == 1 ? "button1" : "button2");
          })) {}
    std::deque<int> answers;
    std::vector<SeenMessage> seen;
    ShowWatch<QDialog> watch;
};
inline void escape(QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }

// Every control shown in `root` that a user can reach, and every button
// even while hidden (accessibility tools list them all), has a name for
// screen readers. A spin box's line edit hands its focus to the named box.
inline void expectNamedControls(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(w) &&
            (!w->isVisibleTo(root) || w->focusProxy() || w->focusPolicy() == Qt::NoFocus))
            continue;
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(w);
        EXPECT_TRUE(control && !control->text(QAccessible::Name).isEmpty())
            << root->objectName().toStdString() << ": " << w->metaObject()->className() << ' '
            << w->objectName().toStdString();
    }
}

// Saves a picture of the widget when QUILL_SCREENSHOT_DIR names a folder.
inline void screenshot(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("QUILL_SCREENSHOT_DIR");
    if (!dir.isEmpty()) w->grab().save(QDir(dir).filePath(QString::fromUtf8(name) + ".png"));
}

// A main window shown over a settings file in `dir`. Its folder chooser
// answers `folder` (cancelled when empty), its viewer notes the files.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { frame = makeFrame(); }

    std::unique_ptr<CMainFrame> makeFrame() {
        auto f = std::make_unique<CMainFrame>(dir / "status.ini");
        f->resize(900, 600);
        f->show();
        f->folderChooser = [this](QWidget*, const QString& start) {
            chooserStart = start;
            return QString::fromStdString(folder.string());
        };
        f->viewerLauncher = [this](QWidget*, const AppSettings&, const fs::path& path) {
            viewed.push_back(path);
        };
        processEvents();
        return f;
    }

    // Lists the folder and selects the rows of the named files.
    void listAndSelect(const std::vector<std::string>& names) {
        frame->onCommand(ID_FOLDER_SELECT);
        select(names);
    }
    void select(const std::vector<std::string>& names) {
        QItemSelectionModel* selection = frame->fileList().table()->selectionModel();
        for (int r = 0; r < frame->fileList().rowCount(); ++r)
            if (std::ranges::count(names, frame->fileList().nameBytes(r)))
                selection->select(selection->model()->index(r, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        processEvents();
        ASSERT_EQ(frame->fileList().selectedCount(), static_cast<int>(names.size()));
    }
    // The files listed, by the bytes of their names.
    std::vector<std::string> listed() const {
        std::vector<std::string> out;
        for (int r = 0; r < frame->fileList().rowCount(); ++r)
            out.push_back(frame->fileList().nameBytes(r));
        return out;
    }
    void clickTool(int id) {
        QTest::mouseClick(frame->commandBar()->widgetForAction(frame->commandAction(id)),
                          Qt::LeftButton);
    }

    TempDir dir, data;
    fs::path folder = data / "photos";
    std::unique_ptr<CMainFrame> frame;
    QString chooserStart;
    std::vector<fs::path> viewed;
};

}  // namespace quill::test
