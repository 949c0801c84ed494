#include "desktop/sway/sway_ipc.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "desktop/utf8.h"

namespace desktop::sway {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};

using Json = nlohmann::json;

// A member that is a number, or null when it is missing or of another type.
const Json* Number(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? &*found : nullptr;
}

struct Box {
    double x = 0, y = 0, width = 0, height = 0;
};

bool ReadBox(const Json& node, const char* key, Box& box) {
    const auto found = node.find(key);
    if (found == node.end() || !found->is_object()) return false;
    const Json* x = Number(*found, "x");
    const Json* y = Number(*found, "y");
    const Json* width = Number(*found, "width");
    const Json* height = Number(*found, "height");
    if (!x || !y || !width || !height) return false;
    box = {x->get<double>(), y->get<double>(), width->get<double>(), height->get<double>()};
    return true;
}

// The children of a node in one of its lists; false when the list is there but is no list.
bool Children(const Json& node, const char* key, const Json*& list) {
    const auto found = node.find(key);
    list = nullptr;
    if (found == node.end()) return true;
    if (!found->is_array()) return false;
    list = &*found;
    return true;
}

struct Visit {
    const Json* node;
    const Json* parent;  // null for the root
    bool floating;       // one of its parent's floating_nodes
};

// The report for the focused node. A window is a leaf container; the focus on a workspace, an
// output or a split container is no window.
bool Describe(const Visit& visit, WindowReport& report, std::uint32_t& x11Window) {
    const Json& node = *visit.node;
    const auto type = node.find("type");
    if (type == node.end() || !type->is_string()) return false;
    const Json* nodes = nullptr;
    const Json* floating = nullptr;
    if (!Children(node, "nodes", nodes) || !Children(node, "floating_nodes", floating))
        return false;
    const bool leaf = (!nodes || nodes->empty()) && (!floating || floating->empty());
    const std::string& kind = type->get_ref<const std::string&>();
    if (!leaf || (kind != "con" && kind != "floating_con")) return true;  // no window

    const Json* id = Number(node, "id");
    const auto name = node.find("name");
    Box rect, deco;
    if (!id || !id->is_number_integer() || name == node.end() ||
        !(name->is_string() || name->is_null()) || !ReadBox(node, "rect", rect) ||
        !ReadBox(node, "deco_rect", deco))
        return false;

    // `rect` leaves out the title bar above it. In a stack, the titles of the windows after
    // this one stand between its own title bar and its rect.
    double titles = deco.height;
    if (!visit.floating && visit.parent) {
        const auto layout = visit.parent->find("layout");
        const Json* siblings = nullptr;
        if (layout != visit.parent->end() && layout->is_string() && *layout == "stacked" &&
            Children(*visit.parent, "nodes", siblings) && siblings) {
            const auto self = std::find_if(siblings->begin(), siblings->end(),
                                           [&](const Json& s) { return &s == visit.node; });
            titles = deco.height * static_cast<double>(siblings->end() - self);
        }
    }
    report.id = id->dump();
    report.title = name->is_string() ? name->get<std::string>() : std::string();
    report.x = rect.x;
    report.y = rect.y - titles;
    report.width = rect.width;
    report.height = rect.height + titles;
    // sway has no minimized windows; the nearest is a window in the scratchpad, which stays in
    // the tree, hidden (visible false), and is never to be followed.
    const auto visible = node.find("visible");
    report.minimized = visible != node.end() && visible->is_boolean() && !visible->get<bool>();
    // An XWayland window carries its X11 id; a native one has none (null).
    const Json* window = Number(node, "window");
    x11Window =
        window && window->is_number_unsigned() && window->get<std::uint64_t>() <= 0xFFFFFFFFu
            ? static_cast<std::uint32_t>(window->get<std::uint64_t>())
            : 0;
    return true;
}

}  // namespace

std::string Encode(std::uint32_t type, std::string_view payload) {
    const auto length = static_cast<std::uint32_t>(payload.size());
    std::string message(kMagic, sizeof kMagic);
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&type), sizeof type);
    message.append(payload);
    return message;
}

void Framer::Feed(std::string_view bytes) {
    if (!broken_) buffer_.append(bytes);
}

Framer::Status Framer::Next(Message& message) {
    if (broken_) return Status::Broken;
    if (buffer_.size() < kHeaderSize) {
        // What has come so far must at least begin like a message.
        const std::size_t seen = std::min(buffer_.size(), sizeof kMagic);
        if (std::memcmp(buffer_.data(), kMagic, seen) == 0) return Status::Incomplete;
        broken_ = true;
    } else {
        std::uint32_t length = 0;
        std::memcpy(&length, buffer_.data() + sizeof kMagic, sizeof length);
        if (std::memcmp(buffer_.data(), kMagic, sizeof kMagic) != 0 || length > kMaxPayload) {
            broken_ = true;
        } else if (buffer_.size() - kHeaderSize < length) {
            return Status::Incomplete;
        } else {
            std::memcpy(&message.type, buffer_.data() + sizeof kMagic + sizeof length,
                        sizeof message.type);
            message.payload.assign(buffer_, kHeaderSize, length);
            buffer_.erase(0, kHeaderSize + length);
            return Status::Ready;
        }
    }
    buffer_.clear();
    buffer_.shrink_to_fit();
    return Status::Broken;
}

bool Succeeded(std::string_view reply) {
    const Json root = Json::parse(reply, nullptr, false);
    if (!root.is_object()) return false;
    const auto success = root.find("success");
    return success != root.end() && success->is_boolean() && success->get<bool>();
}

bool FocusedWindow(std::string_view tree, WindowReport& report, std::uint32_t* x11Window) {
    report = WindowReport{};
    std::uint32_t x11 = 0;
    if (x11Window) *x11Window = 0;
    // JSON's structure is ASCII, so repairing the text's bytes changes only what is inside
    // strings; each invalid byte grows to at most 3.
    const Json root = Json::parse(SanitizeUtf8(tree, tree.size() * 3), nullptr, false);
    if (root.is_discarded()) return false;
    // Depth first, without recursion: however deep the tree, the stack stays put.
    std::vector<Visit> pending{{&root, nullptr, false}};
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        const Json& node = *visit.node;
        if (!node.is_object()) return false;
        const auto focused = node.find("focused");
        if (focused != node.end()) {
            if (!focused->is_boolean()) return false;
            if (focused->get<bool>()) {
                const bool described = Describe(visit, report, x11);
                if (x11Window) *x11Window = x11;
                return described;
            }
        }
        const Json* nodes = nullptr;
        const Json* floating = nullptr;
        if (!Children(node, "nodes", nodes) || !Children(node, "floating_nodes", floating))
            return false;
        for (const Json* list : {nodes, floating}) {
            if (!list) continue;
            for (const Json& child : *list) pending.push_back({&child, &node, list == floating});
        }
    }
    return true;  // nothing has the focus
}

}  // namespace desktop::sway
