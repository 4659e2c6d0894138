#include "app/options_dialog.h"

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <span>
#include <utility>
#include <vector>

#include "app/dialog_placement.h"
#include "settings/app_settings.h"

namespace quill {

namespace {

// The record the dialog edits; copied back only on "設定する".
struct OptionsRecord {
    int useViewer = 0;
    QString viewerPath;
    int useTimestamp = 0;
    SystemTime timestamp;
    int previewAsStored = 0;
};

// The options of our own: each a check box, off by default.
struct ExtraOption {
    std::int32_t AppSettings::*field;
    const char* name;
    const char* text;
};

constexpr ExtraOption kLosslessOptions[] = {
    {&AppSettings::keepIcc, "keepIcc", "クリーン化でICCプロファイルを残す"},
    {&AppSettings::resetOrientation, "resetOrientation",
     "回転・反転したらExifの向きを1にしてサムネイルも回転する"},
};
constexpr ExtraOption kFileOptions[] = {
    {&AppSettings::keepTime, "keepTime", "作成・上書きしたファイルに元の更新日時を残す"},
    {&AppSettings::useTrash, "useTrash", "削除したファイルをゴミ箱に移動する"},
};

void chooseViewer(QWidget* dialog, QLineEdit* pathEdit) {
    QFileDialog files(dialog);
    files.setObjectName("viewerFileDialog");
    files.setFileMode(QFileDialog::ExistingFile);
    files.setAcceptMode(QFileDialog::AcceptOpen);
    // Programs here carry no extension, so the filter takes every file.
    files.setNameFilter(QStringLiteral("ビューワー (*)"));
    files.setOption(QFileDialog::ReadOnly, false);
    if (files.exec() != QDialog::Accepted) return;
    const QStringList chosen = files.selectedFiles();
    if (!chosen.isEmpty()) pathEdit->setText(chosen.front());
}

}  // namespace

int runOptionsDialog(QWidget* owner, AppSettings& settings) {
    OptionsRecord record;
    record.useViewer = settings.useViewer != 0 ? 1 : 0;
    record.viewerPath = QString::fromStdString(settings.viewerPath);
    record.useTimestamp = settings.applyTimestamp != 0 ? 1 : 0;
    record.timestamp = settings.timestamp;
    record.previewAsStored = settings.previewAsStored != 0 ? 1 : 0;

    QDialog dialog(owner);
    setUpDialog(dialog, "optionsDialog", QStringLiteral("オプション設定"));

    auto* viewerGroup = new QGroupBox(QStringLiteral("画像表示"), &dialog);
    auto* useViewer = new QCheckBox(QStringLiteral("ビューワーを指定する"), viewerGroup);
    useViewer->setObjectName("useViewer");
    auto* viewerPath = new QLineEdit(viewerGroup);
    viewerPath->setObjectName("viewerPath");
    viewerPath->setReadOnly(true);
    viewerPath->setAccessibleName(QStringLiteral("ビューワーのパス"));
    viewerPath->setMinimumWidth(300);
    auto* browse = new QPushButton(QStringLiteral("..."), viewerGroup);
    browse->setObjectName("browseViewer");
    browse->setAccessibleName(QStringLiteral("ビューワーを選ぶ"));
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto* viewerLayout = new QGridLayout(viewerGroup);
    viewerLayout->addWidget(useViewer, 0, 0, 1, 2);
    viewerLayout->addWidget(viewerPath, 1, 0);
    viewerLayout->addWidget(browse, 1, 1);

    auto* timeGroup = new QGroupBox(QStringLiteral("ファイル時刻"), &dialog);
    auto* useTimestamp = new QCheckBox(QStringLiteral("タイムスタンプを指定する"), timeGroup);
    useTimestamp->setObjectName("useTimestamp");
    auto* datePicker = new QDateEdit(timeGroup);
    datePicker->setObjectName("datePicker");
    datePicker->setAccessibleName(QStringLiteral("日付"));
    datePicker->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    datePicker->setCalendarPopup(true);
    datePicker->setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
    auto* timePicker = new QTimeEdit(timeGroup);
    timePicker->setObjectName("timePicker");
    timePicker->setAccessibleName(QStringLiteral("時刻"));
    timePicker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    auto* timeLayout = new QGridLayout(timeGroup);
    timeLayout->addWidget(useTimestamp, 0, 0, 1, 3);
    timeLayout->addWidget(datePicker, 1, 0);
    timeLayout->addWidget(timePicker, 1, 1);
    timeLayout->setColumnStretch(2, 1);

    auto* previewGroup = new QGroupBox(QStringLiteral("プレビュー"), &dialog);
    auto* asStored = new QCheckBox(QStringLiteral("Exifの回転情報を無視して表示する"), previewGroup);
    asStored->setObjectName("previewAsStored");
    auto* previewLayout = new QVBoxLayout(previewGroup);
    previewLayout->addWidget(asStored);

    // Check boxes of our own options, read back on "設定する".
    std::vector<std::pair<const ExtraOption*, QCheckBox*>> extras;
    auto extraGroup = [&](const QString& title, std::span<const ExtraOption> options) {
        auto* group = new QGroupBox(title, &dialog);
        auto* column = new QVBoxLayout(group);
        for (const ExtraOption& option : options) {
            auto* box = new QCheckBox(QString::fromUtf8(option.text), group);
            box->setObjectName(QString::fromUtf8(option.name));
            box->setAccessibleName(box->text());
            box->setChecked(settings.*option.field != 0);
            column->addWidget(box);
            extras.emplace_back(&option, box);
        }
        return group;
    };
    QGroupBox* losslessGroup = extraGroup(QStringLiteral("ロスレス処理"), kLosslessOptions);
    QGroupBox* fileGroup = extraGroup(QStringLiteral("ファイル操作"), kFileOptions);

    auto* button1 = dialogButton(&dialog, "button1", QStringLiteral("設定する"));
    button1->setDefault(true);
    auto* button2 = dialogButton(&dialog, "button2", QStringLiteral("キャンセル"));
    auto* buttons = buttonRow({button1, button2});

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(viewerGroup);
    layout->addWidget(timeGroup);
    layout->addWidget(previewGroup);
    layout->addWidget(losslessGroup);
    layout->addWidget(fileGroup);
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    useViewer->setChecked(record.useViewer == 1);
    browse->setEnabled(record.useViewer == 1);
    viewerPath->setText(record.viewerPath);
    useTimestamp->setChecked(record.useTimestamp == 1);
    asStored->setChecked(record.previewAsStored == 1);
    datePicker->setEnabled(record.useTimestamp == 1);
    timePicker->setEnabled(record.useTimestamp == 1);
    // A stored value that names no real date shows the default instead.
    const SystemTime& t = record.timestamp;
    QDate date(t.year, t.month, t.day);
    datePicker->setDate(date.isValid() && date >= datePicker->minimumDate() ? date : QDate(2000, 1, 1));
    QTime time(t.hour, t.minute, t.second);
    timePicker->setTime(time.isValid() ? time : QTime(0, 0, 0));

    QObject::connect(useViewer, &QCheckBox::toggled, browse, &QWidget::setEnabled);
    QObject::connect(useTimestamp, &QCheckBox::toggled, datePicker, &QWidget::setEnabled);
    QObject::connect(useTimestamp, &QCheckBox::toggled, timePicker, &QWidget::setEnabled);
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, viewerPath] { chooseViewer(&dialog, viewerPath); });
    QObject::connect(button1, &QPushButton::clicked, &dialog, [&] {
        record.useViewer = useViewer->isChecked() ? 1 : 0;
        record.useTimestamp = useTimestamp->isChecked() ? 1 : 0;
        record.previewAsStored = asStored->isChecked() ? 1 : 0;
        if (record.useViewer) record.viewerPath = viewerPath->text();
        if (record.useTimestamp) {
            // Date fields from the date picker, which keeps the milliseconds it
            // was given; hour, minute and second from the time picker.
            QDate d = datePicker->date();
            QTime tm = timePicker->time();
            SystemTime s = record.timestamp;
            s.year = std::uint16_t(d.year());
            s.month = std::uint16_t(d.month());
            s.day = std::uint16_t(d.day());
            s.dayOfWeek = std::uint16_t(d.dayOfWeek() % 7);
            s.hour = std::uint16_t(tm.hour());
            s.minute = std::uint16_t(tm.minute());
            s.second = std::uint16_t(tm.second());
            if (s.milliseconds > 999) s.milliseconds = 0;
            record.timestamp = s;
        }
        dialog.done(1);
    });
    QObject::connect(button2, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(2); });

    dialog.adjustSize();
    placeDialog(dialog, owner);
    if (dialog.exec() != 1) return 2;

    settings.useViewer = record.useViewer;
    settings.viewerPath = record.viewerPath.toStdString();
    settings.applyTimestamp = record.useTimestamp;
    settings.timestamp = record.timestamp;
    settings.previewAsStored = record.previewAsStored;
    for (const auto& [option, box] : extras) settings.*option->field = box->isChecked() ? 1 : 0;
    return 1;
}

}  // namespace quill
