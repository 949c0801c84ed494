// Every caption fits its control on one line: each control's text, measured in its own font
// inside the bar's process (probe_hook.h), against the part of its client area that the control
// draws text in; and no control that would wrap a caption onto a second line.
#include <cstdlib>

#include "platform/win32/proc_address.h"
#include "tests/wine/probe.h"
#include "tests/wine/probe_hook.h"

namespace probe {

// Hooks the bar's thread with keltos_probe_hook.dll, from beside this program.
BarHook::BarHook(HWND bar) : bar_(bar) {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, n);
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"keltos_probe_hook.dll";
    module_ = LoadLibraryW(dll.c_str());
    const HOOKPROC procedure =
        platform::win32::ProcAddress<decltype(KeltosProbeHook)>(module_, kHookProcedure);
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(CaptionMeasure), kMeasureMapping);
    if (procedure && mapping_)
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, procedure, module_,
                                  GetWindowThreadProcessId(bar, nullptr));
}

BarHook::~BarHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (mapping_) CloseHandle(mapping_);
    if (module_) FreeLibrary(module_);
}

CaptionMeasure BarHook::Measure(HWND control) {
    CaptionMeasure result{};
    auto* shared = static_cast<CaptionMeasure*>(
        MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(CaptionMeasure)));
    if (!shared) return result;
    shared->measured = 0;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, RegisterWindowMessageW(kMeasureMessage), 0, 0, SMTO_ABORTIFHUNG,
                        5000, &ignored);
    result = *shared;
    UnmapViewOfFile(shared);
    return result;
}

void BarHook::ChangeDpi(int from, int to) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(bar_, RegisterWindowMessageW(kChangeDpiMessage), to, from, SMTO_ABORTIFHUNG,
                        5000, &ignored);
}

namespace {

enum class Kind { Label, TextBox, Button };

// The room a control leaves its text: a label all of its client area; a time box that, less
// its margins; a button that, less its raised edge of 2 pixels (at 96 DPI) on each side.
SIZE Room(HWND control, Kind kind, const RECT& client, int dpi) {
    SIZE room{client.right - client.left, client.bottom - client.top};
    if (kind == Kind::Button) {
        const int edge = MulDiv(2, dpi, 96);
        room.cx -= 2 * edge;
        room.cy -= 2 * edge;
    } else if (kind == Kind::TextBox) {
        const auto margins = static_cast<DWORD>(SendMessageW(control, EM_GETMARGINS, 0, 0));
        room.cx -= LOWORD(margins) + HIWORD(margins);
    }
    return room;
}

// Whether the control would break a long caption into lines.
bool Wraps(HWND control, Kind kind) {
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    switch (kind) {
        case Kind::Label: {
            const LONG type = style & SS_TYPEMASK;
            return type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE;
        }
        case Kind::TextBox:
            return (style & ES_MULTILINE) != 0;
        case Kind::Button:
            return (style & BS_MULTILINE) != 0;
    }
    return true;
}

}  // namespace

bool CheckCaptions(const Bar& bar, int dpi) {
    const int before = Failures();
    BarHook hook(bar.window);
    if (!Check(hook.Ready(), "keltos_probe_hook.dll hooks the bar's thread")) return false;
    const struct {
        const char* name;
        HWND control;
        Kind kind;
    } controls[] = {{"Label1", bar.label, Kind::Label}, {"txtTime", bar.time, Kind::TextBox},
                    {"START", bar.start, Kind::Button}, {"STOP", bar.stop, Kind::Button},
                    {"RESET", bar.reset, Kind::Button}, {"X", bar.end, Kind::Button}};
    for (const auto& c : controls) {
        const CaptionMeasure m = hook.Measure(c.control);
        if (!Check(m.measured == 1, std::string(c.name) + ": measured inside the bar's process"))
            continue;
        const SIZE room = Room(c.control, c.kind, m.client, dpi);
        Check(m.fontHeight != 0 && m.extent.cx <= room.cx && m.lineHeight <= room.cy,
              std::string(c.name) + ": '" + Narrow(m.text) + "' in " + Narrow(m.face) + " " +
                  std::to_string(std::abs(m.fontHeight)) + " px is " + std::to_string(m.extent.cx) +
                  " x " + std::to_string(m.lineHeight) + ", fits its room of " +
                  std::to_string(room.cx) + " x " + std::to_string(room.cy) + " px at " +
                  std::to_string(dpi) + " DPI");
        Check(!Wraps(c.control, c.kind), std::string(c.name) + ": keeps its caption on one line");
    }
    return Failures() == before;
}

}  // namespace probe
