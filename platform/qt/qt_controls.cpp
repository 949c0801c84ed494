#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

// The face of the design, then faces that look alike, then whatever monospace face there is.
void ApplyFont(QWidget* widget, const FontDesign& f) {
    if (f.face.empty()) return;
    QFont font = widget->font();
    font.setFamilies({QString::fromStdString(f.face), QStringLiteral("MS Gothic"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(f.points);
    font.setWeight(f.weight >= 700 ? QFont::Bold : QFont::Normal);
    widget->setFont(font);
}

// Buttons and the label use a compact face so their captions fit the 19-pixel bar.
void ApplyCompactFont(QWidget* widget) {
    QFont font = widget->font();
    font.setPixelSize(std::max(8, ToPixels(150)));  // 10 px at 96 DPI
    widget->setFont(font);
}

class QtButton : public CommandButton {
  public:
    QtButton(QWidget* parent, const ControlDesign& d)
        : button_(new QPushButton(QString::fromStdString(d.caption), parent)) {
        button_->setObjectName(QString::fromStdString(d.name));
        button_->setGeometry(ToPixels(d));
        ApplyCompactFont(button_);
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
        ApplyFont(edit_, d.font);
    }
    void SetText(const std::string& text) override {
        const QString value = QString::fromStdString(text);
        if (edit_->text() != value) edit_->setText(value);
    }

  private:
    QLineEdit* edit_;
};

class QtLabel : public Label {
  public:
    QtLabel(QWidget* parent, const ControlDesign& d)
        : label_(new QLabel(QString::fromStdString(d.caption), parent)) {
        label_->setObjectName(QString::fromStdString(d.name));
        label_->setGeometry(ToPixels(d));
        ApplyCompactFont(label_);
    }
    void SetCaption(const std::string& text) override {
        const QString value = QString::fromStdString(text);
        if (label_->text() != value) label_->setText(value);
    }

  private:
    QLabel* label_;
};

class QtTimer : public PeriodicTimer {
  public:
    explicit QtTimer(QObject* parent) : timer_(new QTimer(parent)) {
        QObject::connect(timer_, &QTimer::timeout, [this] {
            if (onTick) onTick();
        });
    }

  private:
    void StartTicking(int milliseconds) override { timer_->start(milliseconds); }
    void StopTicking() override { timer_->stop(); }
    QTimer* timer_;
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
std::unique_ptr<Timer> MakeQtTimer(QObject* parent) {
    return std::make_unique<QtTimer>(parent);
}

}  // namespace platform::qt
