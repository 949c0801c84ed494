#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "platform/font_fit.h"
#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

// A control's font by the fitting rule of platform/font_fit.h, in pixels from `largest` down to 6.
class FittedFont {
  public:
    FittedFont(QWidget* widget, QFont font, int largest, QSize room)
        : widget_(widget), font_(std::move(font)), largest_(std::max(largest, 6)), room_(room) {}

    void Fit(const QString& text) {
        const QString shape = ShapeOf(text);
        if (fitted_ && shape == shape_) return;
        fitted_ = true;
        shape_ = shape;
        QFont font = font_;
        const int pixels = LargestFitting(largest_, 6, [&](int size) {
            font.setPixelSize(size);
            const QFontMetrics metrics(font);
            const QString shown = WithWidestDigit(
                shape, [&metrics](QChar digit) { return metrics.horizontalAdvance(digit); });
            return metrics.horizontalAdvance(shown) <= room_.width() &&
                   metrics.height() <= room_.height();
        });
        font.setPixelSize(pixels);
        if (widget_->font() != font) widget_->setFont(font);
    }

  private:
    QWidget* widget_;
    QFont font_;
    int largest_;
    QSize room_;
    QString shape_;
    bool fitted_ = false;
};

// The face of the design, then faces that look alike, then whatever monospace face there is, at
// the design's size in pixels.
QFont DesignFont(QWidget* widget, const FontDesign& f, int& pixels) {
    QFont font = widget->font();
    pixels = f.points > 0 ? static_cast<int>(std::lround(f.points * widget->logicalDpiY() / 72.0))
                          : QFontInfo(font).pixelSize();
    if (f.face.empty()) return font;
    font.setFamilies({QString::fromStdString(f.face), QStringLiteral("MS Gothic"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setWeight(f.weight >= 700 ? QFont::Bold : QFont::Normal);
    return font;
}

// Buttons and the label use the application's face, at most 10 px at 96 DPI.
int CompactPixels() {
    return std::max(8, ToPixels(150));
}

class QtButton : public CommandButton {
  public:
    QtButton(QWidget* parent, const ControlDesign& d)
        : button_(new QPushButton(QString::fromStdString(d.caption), parent)) {
        button_->setObjectName(QString::fromStdString(d.name));
        button_->setGeometry(ToPixels(d));
        // The room inside the button's bevel and margins.
        QStyleOptionButton option;
        option.initFrom(button_);
        const QSize room = button_->style()
                               ->subElementRect(QStyle::SE_PushButtonContents, &option, button_)
                               .size();
        FittedFont(button_, button_->font(), CompactPixels(), room).Fit(button_->text());
        button_->setAutoDefault(false);  // Enter and Esc have no window-wide meaning
        button_->setDefault(false);
        QObject::connect(button_, &QPushButton::clicked, [this] {
            if (onClick) onClick();
        });
    }
    void SetEnabled(bool enabled) override { button_->setEnabled(enabled); }
    void SetFocus() override { button_->setFocus(Qt::OtherFocusReason); }

  private:
    QPushButton* button_;  // owned by the window
};

class QtTextBox : public TextBox {
  public:
    QtTextBox(QWidget* parent, const ControlDesign& d)
        : edit_(new QLineEdit(QString::fromStdString(d.caption), parent)) {
        edit_->setObjectName(QString::fromStdString(d.name));
        edit_->setGeometry(ToPixels(d));
        int pixels = 0;
        QFont font = DesignFont(edit_, d.font, pixels);
        font_ = std::make_unique<FittedFont>(edit_, std::move(font), pixels, Room());
        font_->Fit(edit_->text());
        StopBlinkingWhenIdle(edit_);
    }
    std::string Text() const override { return edit_->text().toStdString(); }
    void SetText(const std::string& text) override {
        const QString value = QString::fromStdString(text);
        edit_->setText(value);
        font_->Fit(value);
    }

  private:
    // The room inside the frame, less the line edit's own margin of 2 px a side and a pixel for
    // the cursor.
    QSize Room() const {
        QStyleOptionFrame option;
        option.initFrom(edit_);
        option.lineWidth =
            edit_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit_);
        QSize room =
            edit_->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit_).size();
        room.rwidth() -= 5;
        return room;
    }
    QLineEdit* edit_;
    std::unique_ptr<FittedFont> font_;
};

class QtLabel : public Label {
  public:
    QtLabel(QWidget* parent, const ControlDesign& d) : label_(new QLabel(parent)) {
        label_->setObjectName(QString::fromStdString(d.name));
        label_->setGeometry(ToPixels(d));
        label_->setWordWrap(false);  // a caption too long is cut off, never broken into lines
        font_ = std::make_unique<FittedFont>(label_, label_->font(), CompactPixels(),
                                             label_->contentsRect().size());
        SetCaption(d.caption);
    }
    std::string Caption() const override { return label_->text().toStdString(); }
    void SetCaption(const std::string& text) override {
        const QString value = QString::fromStdString(text);
        label_->setText(value);
        font_->Fit(value);
    }

  private:
    QLabel* label_;
    std::unique_ptr<FittedFont> font_;
};

}  // namespace

std::unique_ptr<CommandButton> MakeQtButton(QWidget* parent, const ControlDesign& d) {
    return std::make_unique<QtButton>(parent, d);
}
std::unique_ptr<TextBox> MakeQtTextBox(QWidget* parent, const ControlDesign& d) {
    return std::make_unique<QtTextBox>(parent, d);
}
std::unique_ptr<Label> MakeQtLabel(QWidget* parent, const ControlDesign& d) {
    return std::make_unique<QtLabel>(parent, d);
}

}  // namespace platform::qt
