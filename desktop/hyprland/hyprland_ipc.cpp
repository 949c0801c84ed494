#include "desktop/hyprland/hyprland_ipc.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "desktop/utf8.h"

namespace desktop::hyprland {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kBatch = "[[BATCH]]";
constexpr std::string_view kBatchSeparator = "\n\n\n";
constexpr std::string_view kFocus = "j/activewindow";

// JSON's structure is ASCII, so repairing the text's bytes changes only what is inside strings
// (Hyprland passes a title's bytes through as they are); each invalid byte grows to at most 3.
Json Parse(std::string_view text) {
    return Json::parse(SanitizeUtf8(text, text.size() * 3), nullptr, false);
}

// A member that is a number, or null when it is missing or of another type.
const Json* Number(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? &*found : nullptr;
}

bool Integer(const Json& object, const char* key, std::int64_t& value) {
    const Json* number = Number(object, key);
    if (!number || !number->is_number_integer()) return false;
    value = number->get<std::int64_t>();
    return true;
}

// A member that is [a, b] of two numbers.
bool Pair(const Json& object, const char* key, double& a, double& b) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_array() || found->size() != 2) return false;
    if (!(*found)[0].is_number() || !(*found)[1].is_number()) return false;
    a = (*found)[0].get<double>();
    b = (*found)[1].get<double>();
    return true;
}

// The id of a member that is {"id": N, "name": "..."}.
bool WorkspaceId(const Json& object, const char* key, std::int64_t& id) {
    const auto found = object.find(key);
    return found != object.end() && found->is_object() && Integer(*found, "id", id);
}

const Monitor* Find(const Layout& layout, std::int64_t id) {
    const auto found = std::find_if(layout.monitors.begin(), layout.monitors.end(),
                                    [id](const Monitor& m) { return m.id == id; });
    return found == layout.monitors.end() ? nullptr : &*found;
}

bool Hidden(const Json& window, std::int64_t workspace, const Monitor* monitor) {
    const auto hidden = window.find("hidden");
    if (hidden != window.end() && hidden->is_boolean() && hidden->get<bool>()) return true;
    // Special workspaces have negative ids; one is seen only while its monitor shows it.
    if (workspace < 0) return !monitor || monitor->special != workspace;
    return monitor && monitor->workspace != workspace;
}

}  // namespace

std::string FocusRequest() {
    return std::string(kFocus);
}

std::string LayoutRequest(long pinPid) {
    std::string request = std::string(kBatch) + std::string(kFocus) +
                          ";j/monitors;j/getoption xwayland:force_zero_scaling";
    if (pinPid > 0)
        request += ";j/clients;dispatch hl.dsp.window.pin({action = \"enable\", window = \"pid:" +
                   std::to_string(pinPid) + "\"})";
    return request;
}

std::vector<std::string_view> SplitBatch(std::string_view answer) {
    std::vector<std::string_view> answers;
    for (;;) {
        const std::size_t end = answer.find(kBatchSeparator);
        answers.push_back(answer.substr(0, end));
        if (end == std::string_view::npos) return answers;
        answer.remove_prefix(end + kBatchSeparator.size());
    }
}

bool ReadMonitors(std::string_view answer, std::vector<Monitor>& monitors) {
    monitors.clear();
    const Json list = Parse(answer);
    if (!list.is_array()) return false;
    for (const Json& entry : list) {
        Monitor m;
        const Json* x = entry.is_object() ? Number(entry, "x") : nullptr;
        const Json* y = entry.is_object() ? Number(entry, "y") : nullptr;
        const Json* scale = entry.is_object() ? Number(entry, "scale") : nullptr;
        // Hyprland 0.57 leaves the special workspace's id out when none is shown.
        const auto special = entry.is_object() ? entry.find("specialWorkspace") : entry.end();
        const bool noSpecial =
            special != entry.end() && special->is_object() && !special->contains("id");
        if (!x || !y || !scale || !Integer(entry, "id", m.id) ||
            !WorkspaceId(entry, "activeWorkspace", m.workspace) ||
            !(noSpecial || WorkspaceId(entry, "specialWorkspace", m.special))) {
            monitors.clear();
            return false;
        }
        m.x = x->get<double>();
        m.y = y->get<double>();
        m.scale = scale->get<double>();
        monitors.push_back(m);
    }
    return true;
}

std::optional<bool> ReadForceZeroScaling(std::string_view answer) {
    const Json option = Parse(answer);
    if (!option.is_object()) return std::nullopt;
    const auto flag = option.find("bool");
    if (flag != option.end() && flag->is_boolean()) return flag->get<bool>();
    const auto number = option.find("int");
    if (number != option.end() && number->is_number_integer()) return number->get<int>() != 0;
    return std::nullopt;
}

std::optional<OwnWindow> FindOwnWindow(std::string_view clients, long pid) {
    const Json list = Parse(clients);
    if (!list.is_array()) return std::nullopt;
    for (const Json& client : list) {
        if (!client.is_object()) return std::nullopt;
        const auto p = client.find("pid");
        const auto x11 = client.find("xwayland");
        if (p == client.end() || !p->is_number_integer() || p->get<long>() != pid ||
            x11 == client.end() || *x11 != true)
            continue;
        const auto pinned = client.find("pinned");
        return pinned != client.end() && *pinned == true ? OwnWindow::Pinned : OwnWindow::Unpinned;
    }
    return OwnWindow::Absent;
}

bool ActiveWindow(std::string_view answer, const Layout& layout, WindowReport& report,
                  double& scale) {
    report = WindowReport{};
    scale = 1;
    const Json window = Parse(answer);
    if (!window.is_object()) return false;
    if (window.empty()) return true;  // nothing has the focus
    const auto address = window.find("address");
    const auto title = window.find("title");
    std::int64_t monitorId = 0, workspace = 0;
    double x, y, width, height;
    if (address == window.end() || !address->is_string() ||
        address->get_ref<const std::string&>().empty() || title == window.end() ||
        !title->is_string() || !Pair(window, "at", x, y) || !Pair(window, "size", width, height) ||
        !Integer(window, "monitor", monitorId) || !WorkspaceId(window, "workspace", workspace))
        return false;
    const Monitor* monitor = Find(layout, monitorId);
    if (layout.forceZeroScaling) {
        // XWayland's pixels are the monitor's physical ones, counted from its corner.
        if (!monitor || !(monitor->scale > 0)) return false;
        scale = monitor->scale;
        x = monitor->x / scale + (x - monitor->x);
        y = monitor->y / scale + (y - monitor->y);
    }
    report.id = address->get<std::string>();
    report.title = title->get<std::string>();
    report.x = x;
    report.y = y;
    report.width = width;
    report.height = height;
    report.minimized = Hidden(window, workspace, monitor);
    return true;
}

void LineReader::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!skipping_ && current_.size() + piece.size() > kMaxLine) {
            // Too long to keep: what came of it so far goes, and the rest up to its end.
            current_.clear();
            current_.shrink_to_fit();
            skipping_ = true;
        }
        if (!skipping_) current_.append(piece);
        if (end == std::string_view::npos) return;
        if (!skipping_) lines_.push_back(std::move(current_));
        current_.clear();
        skipping_ = false;
        bytes.remove_prefix(end + 1);
    }
}

bool LineReader::Next(std::string& line) {
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    return true;
}

bool ChangesLayout(std::string_view line) {
    static constexpr std::array<std::string_view, 9> kLayoutEvents = {
        "workspace",      "activespecial",  "focusedmon",        "moveworkspace", "monitoradded",
        "monitorremoved", "configreloaded", "changeworkspaceid", "activewindow"};
    const std::size_t end = line.find(">>");
    if (end == std::string_view::npos) return false;
    std::string_view name = line.substr(0, end);
    if (name.ends_with("v2")) name.remove_suffix(2);
    return std::find(kLayoutEvents.begin(), kLayoutEvents.end(), name) != kLayoutEvents.end();
}

}  // namespace desktop::hyprland
