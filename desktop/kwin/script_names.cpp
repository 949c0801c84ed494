#include "desktop/kwin/script_names.h"

#include <cctype>

namespace desktop::kwin {

namespace {

constexpr std::string_view kScriptPrefix = "keltos_focus_";
constexpr std::string_view kScriptSuffix = ".js";
constexpr std::size_t kLongestBusName = 255;

// A unique name on a D-Bus bus: ':' and two or more dot-separated elements of letters, digits,
// '_' and '-'.
bool UniqueBusName(std::string_view name) {
    if (name.size() < 2 || name.size() > kLongestBusName || name.front() != ':') return false;
    std::size_t elements = 0, length = 0;
    for (const char c : name.substr(1)) {
        if (c == '.') {
            if (length == 0) return false;
            ++elements;
            length = 0;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') {
            ++length;
        } else {
            return false;
        }
    }
    return length > 0 && elements + 1 >= 2;
}

}  // namespace

std::string ScriptName(std::string_view owner) {
    return std::string(kScriptPrefix) + std::string(owner);
}

std::optional<std::string> ScriptOwner(std::string_view fileName) {
    if (!fileName.starts_with(kScriptPrefix) || !fileName.ends_with(kScriptSuffix))
        return std::nullopt;
    fileName.remove_prefix(kScriptPrefix.size());
    fileName.remove_suffix(kScriptSuffix.size());
    if (!UniqueBusName(fileName)) return std::nullopt;
    return std::string(fileName);
}

}  // namespace desktop::kwin
