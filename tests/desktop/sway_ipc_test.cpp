// sway's IPC as KELTOS reads it: messages cut into pieces, cut short, oversized or not the IPC
// at all, and GET_TREE replies that are malformed, of the wrong types, or have no focused window.
#include "desktop/sway/sway_ipc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using desktop::sway::Framer;
using nlohmann::json;

json Box(int x, int y, int width, int height) {
    return {{"x", x}, {"y", y}, {"width", width}, {"height", height}};
}

json Window(int id, const char* title, json rect, bool focused = false) {
    return {{"id", id},
            {"type", "con"},
            {"name", title},
            {"focused", focused},
            {"rect", std::move(rect)},
            {"deco_rect", Box(0, 0, 533, 27)},
            {"nodes", json::array()},
            {"floating_nodes", json::array()}};
}

// root > output > workspace "1" holding `tiled` and `floating`.
json Tree(json tiled, json floating = json::array(), const char* layout = "splith") {
    json workspace = {{"id", 4},          {"type", "workspace"},
                      {"name", "1"},      {"focused", false},
                      {"layout", layout}, {"rect", Box(0, 0, 1600, 900)},
                      {"nodes", tiled},   {"floating_nodes", floating}};
    json output = {{"id", 3}, {"type", "output"}, {"focused", false}, {"nodes", {workspace}}};
    return {{"id", 1}, {"type", "root"}, {"focused", false}, {"nodes", {output}}};
}

json ThreeTiled() {
    return Tree({Window(5, "Mail B", Box(0, 27, 533, 873)),
                 Window(6, "Editor A", Box(533, 27, 533, 873), true),
                 Window(7, "Terminal C", Box(1066, 27, 534, 873))});
}

std::string Reply(const std::string& payload) {
    return desktop::sway::Encode(desktop::sway::kGetTree, payload);
}

// A header announcing `length` bytes of payload.
std::string Header(std::uint32_t length) {
    std::string header = Reply("");
    std::memcpy(header.data() + 6, &length, sizeof length);
    return header;
}

enum class Outcome { Waiting, Broken, Malformed, NoWindow, Window };

const char* Name(Outcome outcome) {
    const char* names[] = {"waiting", "broken", "malformed", "no window", "window"};
    return names[static_cast<int>(outcome)];
}

struct Expected {
    Outcome outcome;
    const char* title = "";
    double x = 0, y = 0, width = 0, height = 0;
    bool minimized = false;
};

Expected Docks(const char* title, double x, double y, double width, double height) {
    return {Outcome::Window, title, x, y, width, height};
}

TEST(SwayIpc, ReadsOnlyWholeWellFormedReplies) {
    const std::string tree = ThreeTiled().dump();
    const std::string framed = Reply(tree);
    json wrongX = ThreeTiled();
    wrongX["nodes"][0]["nodes"][0]["nodes"][1]["rect"]["x"] = "533";
    json wrongFocused = ThreeTiled();
    wrongFocused["nodes"][0]["nodes"][0]["nodes"][1]["focused"] = "true";
    json wrongName = ThreeTiled();
    wrongName["nodes"][0]["nodes"][0]["nodes"][1]["name"] = 7;
    json nullName = ThreeTiled();
    nullName["nodes"][0]["nodes"][0]["nodes"][1]["name"] = nullptr;
    json wrongNodes = ThreeTiled();
    wrongNodes["nodes"][0]["nodes"] = json::object();
    json workspaceFocused = Tree(json::array());
    workspaceFocused["nodes"][0]["nodes"][0]["focused"] = true;
    json floating = Tree({Window(5, "Mail B", Box(0, 27, 800, 873))},
                         {Window(9, "Float", Box(100, 227, 400, 300), true)}, "stacked");
    // A window sent to the scratchpad stays in the tree, hidden, in a workspace of its own.
    json scratchpad = ThreeTiled();
    json hidden = Window(8, "Editor A", Box(398, 99, 804, 702), true);
    hidden["type"] = "floating_con";
    hidden["visible"] = false;
    scratchpad["nodes"][0]["nodes"][0]["nodes"][1]["focused"] = false;
    scratchpad["nodes"].push_back({{"id", 2},
                                   {"type", "output"},
                                   {"name", "__i3"},
                                   {"nodes",
                                    {{{"id", 9},
                                      {"type", "workspace"},
                                      {"name", "__i3_scratch"},
                                      {"floating_nodes", {hidden}}}}}});
    json stacked = Tree({Window(5, "Mail B", Box(0, 81, 1600, 819)),
                         Window(6, "Editor A", Box(0, 81, 1600, 819), true),
                         Window(7, "Terminal C", Box(0, 81, 1600, 819))},
                        json::array(), "stacked");

    struct Case {
        const char* name;
        std::vector<std::string> chunks;  // as the reads return them
        Expected expected;
    };
    const Case cases[] = {
        {"whole reply", {framed}, Docks("Editor A", 533, 0, 533, 900)},
        {"in pieces, one cut inside the header",
         {framed.substr(0, 3), framed.substr(3, 9), framed.substr(12, 100), framed.substr(112)},
         Docks("Editor A", 533, 0, 533, 900)},
        {"header cut short", {framed.substr(0, 13)}, {Outcome::Waiting}},
        {"payload cut short", {framed.substr(0, framed.size() - 1)}, {Outcome::Waiting}},
        {"oversized, refused from its header alone",
         {Header(desktop::sway::kMaxPayload + 1)},
         {Outcome::Broken}},
        {"largest allowed length is waited for",
         {Header(desktop::sway::kMaxPayload)},
         {Outcome::Waiting}},
        {"not sway's IPC", {"HTTP/1.1 400 Bad Request\r\n\r\n"}, {Outcome::Broken}},
        {"not sway's IPC, known from its first bytes", {"i3-x"}, {Outcome::Broken}},
        {"malformed JSON", {Reply(tree.substr(0, tree.size() / 2))}, {Outcome::Malformed}},
        {"empty payload", {Reply("")}, {Outcome::Malformed}},
        {"nested beyond any tree",
         {Reply("{\"nodes\": " + std::string(20000, '[') + std::string(20000, ']') + "}")},
         {Outcome::Malformed}},
        {"not an object", {Reply("[1, 2]")}, {Outcome::Malformed}},
        {"rect.x a string", {Reply(wrongX.dump())}, {Outcome::Malformed}},
        {"focused a string", {Reply(wrongFocused.dump())}, {Outcome::Malformed}},
        {"name a number", {Reply(wrongName.dump())}, {Outcome::Malformed}},
        {"nodes an object", {Reply(wrongNodes.dump())}, {Outcome::Malformed}},
        {"no title", {Reply(nullName.dump())}, Docks("", 533, 0, 533, 900)},
        // The window that had the focus has gone: nothing else took it yet.
        {"nothing focused",
         {Reply(Tree({Window(5, "Mail B", Box(0, 27, 800, 873))}).dump())},
         {Outcome::NoWindow}},
        {"empty workspace focused", {Reply(workspaceFocused.dump())}, {Outcome::NoWindow}},
        {"floating, over a stack", {Reply(floating.dump())}, Docks("Float", 100, 200, 400, 327)},
        {"in a stack of three", {Reply(stacked.dump())}, Docks("Editor A", 0, 27, 1600, 873)},
        {"in the scratchpad, hidden",
         {Reply(scratchpad.dump())},
         {Outcome::Window, "Editor A", 398, 72, 804, 729, true}},
        {"another title is not UTF-8",
         {Reply(std::string(tree).replace(tree.find("Mail B"), 6, "Mail\xff\xfe"))},
         Docks("Editor A", 533, 0, 533, 900)},
        {"its own title is not UTF-8",
         {Reply(std::string(tree).replace(tree.find("Editor A"), 8, "Ed\xc3"))},
         Docks("Ed\xef\xbf\xbd", 533, 0, 533, 900)},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Framer framer;
        desktop::sway::Message message;
        Framer::Status status = Framer::Status::Incomplete;
        for (std::size_t i = 0; i < c.chunks.size(); ++i) {
            ASSERT_EQ(Framer::Status::Incomplete, status) << "a message before its last byte";
            framer.Feed(c.chunks[i]);
            status = framer.Next(message);
        }
        Outcome outcome = status == Framer::Status::Incomplete ? Outcome::Waiting
                          : status == Framer::Status::Broken   ? Outcome::Broken
                                                               : Outcome::Malformed;
        desktop::WindowReport report;
        if (status == Framer::Status::Ready) {
            EXPECT_EQ(desktop::sway::kGetTree, message.type);
            if (desktop::sway::FocusedWindow(message.payload, report))
                outcome = report.id.empty() ? Outcome::NoWindow : Outcome::Window;
            EXPECT_EQ(Framer::Status::Incomplete, framer.Next(message)) << "bytes left over";
        }
        ASSERT_STREQ(Name(c.expected.outcome), Name(outcome));
        if (outcome != Outcome::Window) continue;
        EXPECT_EQ(c.expected.title, report.title);
        EXPECT_EQ(c.expected.x, report.x);
        EXPECT_EQ(c.expected.y, report.y);
        EXPECT_EQ(c.expected.width, report.width);
        EXPECT_EQ(c.expected.height, report.height);
        EXPECT_EQ(c.expected.minimized, report.minimized);
    }
}

}  // namespace
