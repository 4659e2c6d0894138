#include "preview/image_file_dialog.h"

#include "app/dialog_placement.h"
#include "base/group_thousands.h"
#include "imaging/loaded_image.h"
#include "imaging/resample_dib.h"
#include "preview/loaded_picture.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <string>

namespace quill {

PanelPicture loadPanelPicture(const QString& path, QSize box) {
    PanelPicture out;
    LoadedImage image;
    // A JPEG is decoded reduced to about the box's width; the box never
    // shows more, and a large photo then costs a fraction of a full decode.
    if (box.isEmpty() || !image.LoadImageFile(path.toStdString(), box.width()) || image.empty()) return out;
    Dib scaled;
    if (!ResampleDib(ResampleBicubic, image.info, image.pixels.get(), box.width(), box.height(), true, scaled))
        return out;
    out.box = pictureFrom(scaled);
    if (out.box.isNull()) return out;
    out.pixelSize = QStringLiteral("%1 x %2 pixel").arg(image.width).arg(image.height);
    out.bits = QStringLiteral("%1 bits").arg(image.sourceBits);
    out.bytes = QString::fromStdString(GroupThousands(std::to_string(image.fileSize))) + QStringLiteral(" bytes");
    out.modified = QDateTime::fromSecsSinceEpoch(image.modified).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    out.ok = true;
    return out;
}

ImagePanel::ImagePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imagePanel"));
    const DialogUnits du = dialogUnits(font());
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->setAccessibleName(QStringLiteral("プレビュー"));
    picture_->setFrameStyle(QFrame::Box | QFrame::Plain);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setFixedSize(du.width(93), du.height(108));
    box_ = picture_->contentsRect().size();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.width(9), du.height(18), 0, 0);
    layout->setSpacing(du.height(6));
    layout->addWidget(picture_);
    static const char* const kNames[] = {"pixelSize", "bits", "bytes", "modified"};
    static const char* const kAccessible[] = {"画像サイズ", "ビット数", "ファイルサイズ", "更新日時"};
    for (int i = 0; i < 4; ++i) {
        texts_[i] = new QLabel(this);
        texts_[i]->setObjectName(QString::fromUtf8(kNames[i]));
        texts_[i]->setAccessibleName(QString::fromUtf8(kAccessible[i]));
        texts_[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        texts_[i]->setFixedSize(du.width(93), du.height(12));
        texts_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(texts_[i]);
    }
    layout->addStretch(1);
    thread_ = std::thread([this] { run(); });
}

ImagePanel::~ImagePanel() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ImagePanel::clear() {
    ++generation_;  // whatever is still loading is no longer wanted
    picture_->setPixmap(QPixmap());
    for (QLabel* t : texts_) t->clear();
    shownPath_.clear();
}

void ImagePanel::showFile(const QString& path) {
    clear();
    if (path.isEmpty()) return;
    {
        std::lock_guard lock(mutex_);
        pending_ = Request{generation_, path, box_};
    }
    wake_.notify_one();
}

// The panel's thread: always the newest request; one that was replaced
// while another loaded is never started.
void ImagePanel::run() {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || pending_; });
            if (stopping_) return;
            request = std::move(*pending_);
            pending_.reset();
        }
        PanelPicture picture;
        try {
            picture = loadPanelPicture(request.path, request.box);
        } catch (...) {
            picture = {};  // out of memory: the panel stays empty
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation = request.generation, path = request.path, picture = std::move(picture)] {
                present(generation, path, picture);
            },
            Qt::QueuedConnection);
    }
}

void ImagePanel::present(std::uint64_t generation, const QString& path, const PanelPicture& picture) {
    if (generation != generation_) return;
    if (picture.ok) {
        picture_->setPixmap(QPixmap::fromImage(picture.box));
        const QString texts[] = {picture.pixelSize, picture.bits, picture.bytes, picture.modified};
        for (int i = 0; i < 4; ++i) texts_[i]->setText(texts[i]);
        shownPath_ = path;
    }
    emit loadEnded(path, picture.ok);
}

ImageFileDialog::ImageFileDialog(QWidget* owner) : QFileDialog(owner) {
    setObjectName(QStringLiteral("imageFileDialog"));
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({QStringLiteral("Image File (*.bmp *.gif *.png)"), QStringLiteral("Windows Bitmap (*.bmp)"),
                    QStringLiteral("Graphics Interchange Format (*.gif)"),
                    QStringLiteral("Portable Network Graphic (*.png)")});
    setDefaultSuffix(QStringLiteral("bmp"));
    panel_ = new ImagePanel(this);
    // Qt's own dialog lays its controls out in one grid: the panel becomes
    // its last column.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(panel_, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
    const DialogUnits du = dialogUnits(font());
    resize(du.width(480), du.height(240));
    connect(this, &QFileDialog::currentChanged, panel_, &ImagePanel::showFile);
    connect(this, &QFileDialog::directoryEntered, panel_, &ImagePanel::clear);
}

QStringList chooseImageFiles(QWidget* owner, const QString& start) {
    // The folder of the last choice, for as long as the program runs.
    static QString lastFolder;
    ImageFileDialog dialog(owner);
    if (!lastFolder.isEmpty() || !start.isEmpty()) dialog.setDirectory(lastFolder.isEmpty() ? start : lastFolder);
    if (dialog.exec() != QDialog::Accepted) return {};
    lastFolder = dialog.directory().absolutePath();
    return dialog.selectedFiles();
}

}  // namespace quill
