#include "tests/fake/fake_toolkit.h"

#include <cmath>

namespace fake {

namespace {

constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

// Days since 1970-01-01 of a civil date (proleptic Gregorian), and back.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

platform::DateTime CivilFromMs(std::int64_t ms) {
    std::int64_t days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    const std::int64_t msOfDay = ms - days * kMsPerDay;
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    platform::DateTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(msOfDay / 3600000);
    t.minute = static_cast<int>(msOfDay / 60000 % 60);
    t.second = static_cast<int>(msOfDay / 1000 % 60);
    return t;
}

std::int64_t MsFromCivil(const platform::DateTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * kMsPerDay +
           ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000;
}

}  // namespace

FakeWindow::FakeWindow(FakeToolkit& toolkit, const platform::WindowDesign& design)
    : caption(design.caption),
      width(static_cast<float>(design.width)),
      height(static_cast<float>(design.height)),
      toolkit_(toolkit) {
    hWnd = Desktop::Get().Add(caption, RECT{0, 0, design.width / 15, design.height / 15});
    Desktop::Get().Find(hWnd)->visible = false;
}

void FakeWindow::SetCaption(const std::string& text) {
    caption = text;
    if (DesktopWindow* w = Desktop::Get().Find(hWnd)) w->title = text;
    toolkit_.Record("caption=" + text);
}

void FakeWindow::Move(float leftTwips, float topTwips) {
    left = leftTwips;
    top = topTwips;
    ++moves;
    if (DesktopWindow* w = Desktop::Get().Find(hWnd)) {
        const int x = static_cast<int>(std::lround(leftTwips / twipsPerPixel));
        const int y = static_cast<int>(std::lround(topTwips / twipsPerPixel));
        w->rect =
            RECT{x, y, x + (w->rect.right - w->rect.left), y + (w->rect.bottom - w->rect.top)};
        if (x >= otherMonitorLeft) twipsPerPixel = otherMonitorTwipsPerPixel;
    }
}

void FakeWindow::End() {
    toolkit_.Record("end");
    throw ProgramEnded();
}

void FakeButton::SetEnabled(bool on) {
    enabled = on;
    toolkit_.Record(name + (on ? ".enabled" : ".disabled"));
}

void FakeButton::SetFocus() {
    toolkit_.focus = name;
    toolkit_.Record(name + ".focus");
}

void FakeButton::Click() {
    if (!enabled) return;
    toolkit_.focus = name;  // a click focuses the button it lands on
    if (onClick) onClick();
}

void FakeTextBox::SetText(const std::string& value) {
    text = value;
    toolkit_.Record(name + "=" + value);
}

void FakeLabel::SetCaption(const std::string& value) {
    caption = value;
    toolkit_.Record(name + "=" + value);
}

void FakeTimer::SetInterval(int milliseconds) {
    interval = milliseconds;
    Restart();
    toolkit_.Record(name + ".interval=" + std::to_string(milliseconds));
}

void FakeTimer::SetEnabled(bool on) {
    enabled = on;
    Restart();
    toolkit_.Record(name + (on ? ".enabled" : ".disabled"));
}

void FakeTimer::Restart() {
    due = toolkit_.MonotonicMs() + interval;
}

FakeToolkit::FakeToolkit(platform::DateTime start) {
    SetWallClock(start);
}

std::unique_ptr<platform::Window> FakeToolkit::MakeWindow(const platform::WindowDesign& design) {
    auto made = std::make_unique<FakeWindow>(*this, design);
    window = made.get();
    return made;
}

std::unique_ptr<platform::CommandButton> FakeToolkit::MakeButton(platform::Window&,
                                                                 const platform::ControlDesign& d) {
    auto made = std::make_unique<FakeButton>(*this, d.name);
    buttons[d.name] = made.get();
    return made;
}

std::unique_ptr<platform::TextBox> FakeToolkit::MakeTextBox(platform::Window&,
                                                            const platform::ControlDesign& d) {
    auto made = std::make_unique<FakeTextBox>(*this, d.name);
    made->text = d.caption;
    textBox = made.get();
    return made;
}

std::unique_ptr<platform::Label> FakeToolkit::MakeLabel(platform::Window&,
                                                        const platform::ControlDesign& d) {
    auto made = std::make_unique<FakeLabel>(*this, d.name);
    made->caption = d.caption;
    label = made.get();
    return made;
}

std::unique_ptr<platform::Timer> FakeToolkit::MakeTimer(platform::Window&,
                                                        const platform::TimerDesign& d) {
    auto made = std::make_unique<FakeTimer>(*this, d.name);
    made->interval = d.interval;
    made->enabled = d.enabled;
    made->due = monotonicMs_ + d.interval;
    timers.push_back(made.get());
    return made;
}

int FakeToolkit::Run(platform::Window& w) {
    if (w.onLoad) w.onLoad();
    return 0;
}

double FakeToolkit::Reading() const {
    return static_cast<double>(kUptimeMs + monotonicMs_) / 1000.0;
}

platform::DateTime FakeToolkit::Now() const {
    return CivilFromMs(monotonicMs_ + wallOffsetMs_);
}

void FakeToolkit::SetWallClock(const platform::DateTime& when) {
    wallOffsetMs_ = MsFromCivil(when) - monotonicMs_;
}

void FakeToolkit::Advance(std::int64_t milliseconds) {
    const std::int64_t target = monotonicMs_ + milliseconds;
    for (;;) {
        FakeTimer* next = nullptr;
        for (FakeTimer* t : timers)
            if (t->Ticking() && t->due <= target && (!next || t->due < next->due)) next = t;
        if (!next) break;
        monotonicMs_ = next->due;
        next->due += next->interval;
        ++next->ticks;
        if (next->onTick) next->onTick();
    }
    monotonicMs_ = target;
}

}  // namespace fake
