// The dialog is built from one table in template order and placed in dialog
// units, so its look and its tab order follow the template. Each control
// sits in the group box around it, which keeps each radio group exclusive.
#include "imaging/ui/compression_dialog.h"

#include "app/dialog_placement.h"
#include "app/message_dialog.h"
#include "imaging/compression_settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>

#include <algorithm>
#include <vector>

namespace quill {
namespace {

enum class Kind { Group, Check, FirstRadio, Radio, Label, CentredLabel, Edit, ScrollBar, Value, Combo, Button };

struct Control {
    int id;  // 0: a label or group box nothing refers to
    Kind kind;
    const char* text;
    int x, y, w, h;                  // dialog units
    const char* name = nullptr;      // accessible name where the control shows no text
};

constexpr Control kTemplate[] = {
    {0, Kind::Group, "JFIF Marker", 3, 0, 222, 81},
    {3000, Kind::Check, "Add APP0:JFIF marker (to keep compatible)", 6, 12, 180, 9},
    {3001, Kind::Check, "JFIF Version:", 15, 27, 57, 12},
    {0, Kind::Label, "Major(1d)", 72, 27, 42, 12},
    {3006, Kind::Edit, "", 114, 27, 30, 12, "JFIF major version"},
    {0, Kind::Label, "Minor(2d)", 147, 27, 42, 12},
    {3007, Kind::Edit, "", 189, 27, 30, 12, "JFIF minor version"},
    {3002, Kind::Check, "Resolution:", 15, 45, 57, 12},
    {3003, Kind::FirstRadio, "none unit", 72, 45, 48, 12},
    {3004, Kind::Radio, "DPI", 123, 45, 48, 12},
    {3005, Kind::Radio, "DPCM", 174, 45, 48, 12},
    {0, Kind::Label, "Horizontal", 72, 63, 42, 12},
    {3008, Kind::Edit, "", 114, 63, 30, 12, "Horizontal density"},
    {0, Kind::Label, "Vertical", 147, 63, 42, 12},
    {3009, Kind::Edit, "", 189, 63, 30, 12, "Vertical density"},
    {0, Kind::Group, "IJG Quality", 3, 84, 222, 30},
    {0, Kind::Label, "Quality", 6, 96, 39, 12},
    {3010, Kind::ScrollBar, "", 45, 96, 102, 12, "Quality"},
    {3011, Kind::Value, "85", 150, 96, 15, 12, "Quality value"},
    {0, Kind::Label, "(Min0～Max100)", 165, 96, 57, 12},
    {0, Kind::Group, "Container Format", 3, 117, 222, 42},
    {3025, Kind::FirstRadio, "Baseline", 6, 129, 75, 9},
    {3026, Kind::Radio, "Progressive", 114, 129, 75, 9},
    {3027, Kind::Check, "Optimize Huffman Table", 15, 144, 96, 9},
    {0, Kind::Group, "fraction by which to scale image", 3, 162, 222, 33},
    {0, Kind::Label, "scale", 6, 174, 39, 12},
    {3030, Kind::Combo, "", 45, 174, 39, 12, "scale"},
    {0, Kind::Group, "Color Space", 3, 198, 222, 30},
    {3040, Kind::FirstRadio, "Gray", 6, 210, 42, 9},
    {3041, Kind::Radio, "RGB", 48, 210, 42, 9},
    {3042, Kind::Radio, "YCbCr", 90, 210, 48, 9},
    {3043, Kind::Radio, "CMYK", 138, 210, 42, 9},
    {3044, Kind::Radio, "YCCK", 180, 210, 42, 9},
    {0, Kind::Group, "Sampling Rate", 3, 231, 222, 30},
    {3050, Kind::FirstRadio, "4:4:4(1/1)", 6, 246, 54, 9},
    {3051, Kind::Radio, "4:2:2(2/3)", 60, 246, 54, 9},
    {3052, Kind::Radio, "4:2:0(1/2)", 114, 246, 54, 9},
    {3053, Kind::Radio, "4:1:1(1/2)", 168, 246, 54, 9},
    {0, Kind::Group, "Restart Interval", 228, 0, 219, 57},
    {3060, Kind::FirstRadio, "Do not use", 231, 12, 72, 9},
    {3061, Kind::Radio, "rows(auto interval)", 303, 12, 72, 9},
    {3062, Kind::Radio, "rows and interval", 375, 12, 69, 9},
    {0, Kind::Label, "rows", 231, 24, 39, 12},
    {3063, Kind::ScrollBar, "", 270, 24, 102, 12, "Restart rows"},
    {3064, Kind::Value, "0", 375, 24, 24, 12, "Restart rows value"},
    {0, Kind::Label, "interval", 231, 39, 39, 12},
    {3065, Kind::ScrollBar, "", 270, 39, 102, 12, "Restart interval"},
    {3066, Kind::Value, "1", 375, 39, 24, 12, "Restart interval value"},
    {0, Kind::Group, "interblock smoothing", 228, 60, 219, 42},
    {3070, Kind::Check, "Apply", 231, 72, 90, 9, "Apply smoothing"},
    {0, Kind::Label, "%", 231, 84, 39, 12},
    {3071, Kind::ScrollBar, "", 270, 84, 102, 12, "Smoothing percent"},
    {3072, Kind::Value, "1", 375, 84, 15, 12, "Smoothing value"},
    {0, Kind::Label, "(min0～max100)", 390, 84, 54, 12},
    {0, Kind::Group, "DCT algorithm", 228, 105, 219, 27},
    {3080, Kind::FirstRadio, "less integer", 231, 117, 72, 9},
    {3081, Kind::Radio, "integer", 303, 117, 72, 9},
    {3082, Kind::Radio, "floating-point", 375, 117, 69, 9},
    {0, Kind::Group, "Limit on memory allocation", 228, 135, 219, 30},
    {0, Kind::Label, "MB", 231, 147, 39, 12},
    {3090, Kind::ScrollBar, "", 270, 147, 102, 12, "Memory limit MB"},
    {3091, Kind::Value, "1", 375, 147, 15, 12, "Memory limit value"},
    {0, Kind::Label, "(0MB～100MB)", 390, 147, 54, 12},
    {0, Kind::Group, "LANCZOS Scale", 228, 168, 219, 45},
    {3034, Kind::Check, "Apply", 231, 180, 90, 12, "Apply LANCZOS scale"},
    {0, Kind::Label, "height", 231, 195, 39, 12},
    {3035, Kind::Edit, "", 270, 195, 39, 12, "LANCZOS height"},
    {0, Kind::CentredLabel, "x", 309, 195, 12, 12},
    {0, Kind::Label, "width", 321, 195, 39, 12},
    {3036, Kind::Edit, "", 360, 195, 39, 12, "LANCZOS width"},
    {3037, Kind::Check, "keep ratio", 402, 195, 42, 12},
    {0, Kind::Group, "Limit file size", 228, 216, 219, 45},
    {3097, Kind::Check, "Apply", 231, 228, 90, 12, "Apply file size limit"},
    {0, Kind::Label, "limit size:", 231, 243, 39, 12},
    {3098, Kind::Edit, "", 270, 243, 42, 12, "File size limit"},
    {0, Kind::Label, "(100B～100MB)", 315, 243, 48, 12},
    {1, Kind::Button, "OK", 156, 276, 60, 15},
    {2, Kind::Button, "Cancel", 237, 276, 63, 15},
};

// The edits whose typed value is checked on every change.
struct NumberRule {
    int id;
    long long low, high;
    const char* message;
    const char* reset;
};

constexpr NumberRule kNumberRules[] = {
    {3006, 1, 1, "常に1でなければなりません。", "1"},
    {3007, 2, 20, "2から20の範囲でなければなりません。", "10"},
    {3008, 1, 65535, "1から65535の範囲でなければなりません。", "1"},
    {3009, 1, 65535, "1から65535の範囲でなければなりません。", "1"},
    {3035, 1, 65535, "1から65535の範囲でなければなりません。", "200"},
    {3036, 1, 65535, "1から65535の範囲でなければなりません。", "200"},
    {3098, 100, 100000000, "100バイトから100メガバイトの範囲でなければなりません。", "500000"},
};

// The scroll bars: range, and the page a click beside the thumb moves. The
// restart bars' left end is 1, not 0.
struct BarRule {
    int id, valueLabel, low, high, page, leftEnd;
};

constexpr BarRule kBarRules[] = {
    {3010, 3011, 0, 100, 11, 0},
    {3063, 3064, 0, 65535, 101, 1},
    {3065, 3066, 0, 65535, 101, 1},
    {3071, 3072, 1, 100, 11, 0},
    {3090, 3091, 1, 100, 11, 0},
};

// Leading digits as a decimal number; none gives 0. Saturates far above any
// accepted value, so a long run of digits is still out of range.
long long decimalValue(const QString& text) {
    long long value = 0;
    for (QChar c : text.left(512)) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        value = std::min(value * 10 + (c.unicode() - '0'), 1'000'000'000'000LL);
    }
    return value;
}

class CompressionDialog : public QDialog {
public:
    CompressionDialog(QWidget* owner, CompressionSettings& settings) : QDialog(owner), settings_(settings) {
        setUpDialog(*this, "compressionDialog", QStringLiteral("JPEG圧縮設定"));
        build();
        load();
        placeDialog(*this, owner);
        control(3000)->setFocus();
    }

private:
    template <class T = QWidget>
    T* control(int id) const {
        return static_cast<T*>(controls_.value(id));
    }
    QCheckBox* check(int id) const { return control<QCheckBox>(id); }
    bool checked(int id) const { return control<QAbstractButton>(id)->isChecked(); }
    void setChecked(int id, bool on) { control<QAbstractButton>(id)->setChecked(on); }
    void enable(std::initializer_list<int> ids, bool on) {
        for (int id : ids) control(id)->setEnabled(on);
    }
    QScrollBar* bar(int id) const { return control<QScrollBar>(id); }
    long long number(int id) const { return decimalValue(control<QLineEdit>(id)->text()); }

    void build() {
        // Each control goes into the group box whose template rectangle holds
        // its top left corner.
        struct Placed {
            QWidget* widget;
            const Control* control;
            const Control* group;
        };
        std::vector<Placed> placed;
        const Control* groupControl = nullptr;
        QGroupBox* group = nullptr;
        QButtonGroup* radios = nullptr;
        for (const Control& c : kTemplate) {
            const QString text = QString::fromUtf8(c.text);
            if (c.kind == Kind::Group) {
                group = new QGroupBox(text, this);
                group->setAccessibleName(text);
                groupControl = &c;
                placed.push_back({group, &c, nullptr});
                continue;
            }
            const bool inGroup = groupControl && QRect(groupControl->x, groupControl->y, groupControl->w,
                                                       groupControl->h).contains(c.x, c.y);
            QWidget* parent = inGroup ? static_cast<QWidget*>(group) : this;
            QWidget* w = nullptr;
            switch (c.kind) {
            case Kind::Check: w = new QCheckBox(text, parent); break;
            case Kind::FirstRadio:
                radios = new QButtonGroup(this);
                [[fallthrough]];
            case Kind::Radio: {
                auto* radio = new QRadioButton(text, parent);
                radios->addButton(radio, c.id);
                w = radio;
                break;
            }
            case Kind::Label:
            case Kind::CentredLabel: {
                auto* label = new QLabel(text, parent);
                label->setAlignment(Qt::AlignVCenter | (c.kind == Kind::Label ? Qt::AlignLeft : Qt::AlignHCenter));
                w = label;
                break;
            }
            case Kind::Edit: {
                auto* edit = new QLineEdit(parent);
                edit->setAlignment(Qt::AlignRight);
                edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
                w = edit;
                break;
            }
            case Kind::ScrollBar: w = new QScrollBar(Qt::Horizontal, parent); break;
            case Kind::Value: {
                auto* value = new QLabel(text, parent);
                value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
                value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                w = value;
                break;
            }
            case Kind::Combo: {
                auto* combo = new QComboBox(parent);
                combo->addItems({"8.0", "4.0", "2.0", "1.0", "1/2"});
                w = combo;
                break;
            }
            case Kind::Button: {
                auto* button = new QPushButton(text, parent);
                button->setDefault(c.id == 1);
                w = button;
                break;
            }
            case Kind::Group: break;
            }
            w->setAccessibleName(c.name ? QString::fromUtf8(c.name) : text);
            if (c.id) {
                w->setObjectName(QString::number(c.id));
                controls_.insert(c.id, w);
            }
            placed.push_back({w, &c, inGroup ? groupControl : nullptr});
        }

        // A font whose letters run wider than the template's needs more room
        // for some texts: every column widens alike, so the layout keeps its
        // proportions and no text is cut.
        DialogUnits du = dialogUnits(font());
        double widen = 1;
        for (const Placed& p : placed)
            if (p.control->kind != Kind::Group && !QString::fromUtf8(p.control->text).isEmpty() &&
                p.control->kind != Kind::Value)
                widen = std::max(widen, p.widget->sizeHint().width() / (p.control->w * du.x));
        du.x *= std::min(widen, 1.5);
        for (const Placed& p : placed) {
            const Control& c = *p.control;
            QRect r = du.rect(c.x, c.y, c.w, c.h);
            if (p.group) r.translate(-du.rect(p.group->x, p.group->y, 0, 0).topLeft());
            p.widget->setGeometry(r);
        }
        // The combo box drops its list below itself; its own height is the font's.
        control(3030)->resize(control(3030)->width(), control(3030)->sizeHint().height());
        setFixedSize(du.width(450), du.height(300));

        for (const BarRule& b : kBarRules) {
            QScrollBar* s = bar(b.id);
            s->setRange(b.low, b.high);
            s->setSingleStep(1);
            s->setPageStep(b.page);
            connect(s, &QScrollBar::actionTriggered, this, [s, leftEnd = b.leftEnd](int action) {
                if (action == QAbstractSlider::SliderToMinimum) s->setSliderPosition(leftEnd);
            });
            connect(s, &QScrollBar::valueChanged, control<QLabel>(b.valueLabel),
                    [label = control<QLabel>(b.valueLabel)](int v) { label->setText(QString::number(v)); });
        }
        for (const NumberRule& rule : kNumberRules)
            connect(control<QLineEdit>(rule.id), &QLineEdit::textChanged, this,
                    [this, &rule] { checkNumber(rule); });

        for (int id : {3000, 3001, 3002}) connect(check(id), &QCheckBox::toggled, this, [this] { jfifRule(); });
        connect(check(3034), &QCheckBox::toggled, this, [this] { lanczosRule(); });
        connect(check(3070), &QCheckBox::toggled, this, [this] { smoothingRule(); });
        connect(check(3097), &QCheckBox::toggled, this, [this] { sizeLimitRule(); });
        connect(control<QRadioButton>(3025), &QRadioButton::toggled, this, [this] { codingRule(); });
        for (int id : {3060, 3061, 3062})
            connect(control<QRadioButton>(id), &QRadioButton::toggled, this, [this] { restartRule(); });
        connect(control<QPushButton>(1), &QPushButton::clicked, this, [this] { store(); });
        connect(control<QPushButton>(2), &QPushButton::clicked, this, [this] { done(2); });
    }

    void jfifRule() {
        const bool marker = checked(3000);
        enable({3001, 3002}, marker);
        enable({3006, 3007}, marker && checked(3001));
        enable({3003, 3004, 3005, 3008, 3009}, marker && checked(3002));
    }
    void codingRule() { enable({3027}, checked(3025)); }
    void restartRule() {
        enable({3063, 3064}, !checked(3060));
        enable({3065, 3066}, checked(3062));
    }
    void smoothingRule() { enable({3071, 3072}, checked(3070)); }
    void lanczosRule() {
        enable({3030}, !checked(3034));
        enable({3035, 3036, 3037}, checked(3034));
    }
    void sizeLimitRule() {
        enable({3010, 3011}, !checked(3097));
        enable({3098}, checked(3097));
    }

    // A bar shows the stored value in its label even where the bar itself
    // holds it at the nearest end (a stored smoothing of 0 reads "0").
    void setBar(int id, int value) {
        bar(id)->setValue(value);
        const int label = std::find_if(std::begin(kBarRules), std::end(kBarRules),
                                       [id](const BarRule& b) { return b.id == id; })->valueLabel;
        control<QLabel>(label)->setText(QString::number(value));
    }
    void setText(int id, long long value) { control<QLineEdit>(id)->setText(QString::number(value)); }

    void load() {
        const CompressionSettings& s = settings_;
        setChecked(3001, s.jfifVersionEnabled);
        setText(3006, s.jfifMajor);
        setText(3007, s.jfifMinor);
        setChecked(3002, s.densityEnabled);
        if (s.densityUnit <= 2) setChecked(3003 + s.densityUnit, true);
        setText(3008, s.xDensity);
        setText(3009, s.yDensity);
        setChecked(3000, s.jfifMarker);
        jfifRule();
        setBar(3010, s.quality);
        setChecked(s.progressive ? 3026 : 3025, true);
        codingRule();
        setChecked(3027, s.optimizeHuffman);
        control<QComboBox>(3030)->setCurrentIndex(s.scaleIndex < 5 ? s.scaleIndex : -1);
        if (s.colorSpace < 5) setChecked(3040 + s.colorSpace, true);
        if (s.sampling < 4) setChecked(3050 + s.sampling, true);
        if (s.restartMode < 3) setChecked(3060 + s.restartMode, true);
        setBar(3063, s.restartRows);
        setBar(3065, static_cast<int>(std::min<std::uint32_t>(s.restartInterval, 65535)));
        restartRule();
        setChecked(3070, s.smoothingEnabled);
        setBar(3071, s.smoothing);
        smoothingRule();
        if (s.dctMethod < 3) setChecked(3080 + static_cast<int>(s.dctMethod), true);
        setBar(3090, static_cast<int>(std::min<std::uint32_t>(s.memoryLimitMb, 100000)));
        setChecked(3034, s.lanczosEnabled);
        setText(3035, s.lanczosWidth);
        setText(3036, s.lanczosHeight);
        setChecked(3037, s.keepRatio);
        lanczosRule();
        setChecked(3097, s.sizeLimitEnabled);
        setText(3098, s.sizeLimit);
        sizeLimitRule();
    }

    void checkNumber(const NumberRule& rule) {
        auto* edit = control<QLineEdit>(rule.id);
        const long long value = decimalValue(edit->text());
        if (value >= rule.low && value <= rule.high) return;
        showMessage(this, kMessageInfo, QString::fromUtf8(kSettingErrorTitle), QString::fromUtf8(rule.message));
        edit->setText(QString::fromUtf8(rule.reset));
    }

    // Every control, enabled or not, goes back into the record.
    void store() {
        CompressionSettings& s = settings_;
        s.jfifMarker = checked(3000);
        s.jfifVersionEnabled = checked(3001);
        s.jfifMajor = static_cast<std::uint8_t>(number(3006));
        s.jfifMinor = static_cast<std::uint8_t>(number(3007));
        s.densityEnabled = checked(3002);
        s.densityUnit = checked(3003) ? 0 : checked(3004) ? 1 : 2;
        s.xDensity = static_cast<std::uint16_t>(number(3008));
        s.yDensity = static_cast<std::uint16_t>(number(3009));
        s.quality = bar(3010)->value();
        s.progressive = checked(3025) ? 0 : 1;
        s.optimizeHuffman = checked(3027);
        s.scaleIndex = static_cast<std::uint8_t>(control<QComboBox>(3030)->currentIndex());
        s.colorSpace = 4;
        for (int i = 3; i >= 0; --i)
            if (checked(3040 + i)) s.colorSpace = static_cast<std::uint8_t>(i);
        s.sampling = 3;
        for (int i = 2; i >= 0; --i)
            if (checked(3050 + i)) s.sampling = static_cast<std::uint8_t>(i);
        s.restartMode = checked(3060) ? 0 : checked(3061) ? 1 : 2;
        s.restartRows = bar(3063)->value();
        s.restartInterval = static_cast<std::uint32_t>(bar(3065)->value());
        s.smoothingEnabled = checked(3070);
        s.smoothing = bar(3071)->value();
        s.dctMethod = checked(3080) ? 0 : checked(3081) ? 1 : 2;
        s.memoryLimitMb = static_cast<std::uint32_t>(bar(3090)->value());
        s.lanczosEnabled = checked(3034);
        s.lanczosWidth = static_cast<std::uint16_t>(number(3035));
        s.lanczosHeight = static_cast<std::uint16_t>(number(3036));
        s.keepRatio = checked(3037);
        s.sizeLimitEnabled = checked(3097);
        s.sizeLimit = static_cast<std::uint32_t>(number(3098));
        done(1);
    }

    CompressionSettings& settings_;
    QHash<int, QWidget*> controls_;
};

}  // namespace

int runCompressionDialog(QWidget* owner, CompressionSettings& settings) {
    CompressionDialog dialog(owner, settings);
    return dialog.exec() == 1 ? 1 : 2;
}

}  // namespace quill
