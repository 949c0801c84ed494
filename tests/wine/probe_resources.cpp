// resources: the version information, the icon and the manifest of the executable that ships,
// read from its file, whichever build of the bar runs beside it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "resources/keltos_icon_16.xpm"
#include "resources/keltos_icon_32.xpm"
#include "tests/wine/probe.h"
// (after windows.h, which it needs)
#include <shellapi.h>

namespace probe {

namespace {

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || !value) return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value));
}

void CheckVersion(const std::wstring& exe) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    std::vector<BYTE> info(size);
    if (!Check(size > 0 && GetFileVersionInfoW(exe.c_str(), 0, size, info.data()),
               "the executable has version information"))
        return;
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {{L"ProductName", L"KELTOS"},
                   {L"InternalName", L"KELTOS"},
                   {L"OriginalFilename", L"KELTOS.exe"},
                   {L"FileVersion", L"1.00"},
                   {L"ProductVersion", L"1.00"}};
    for (const auto& s : strings) {
        const std::wstring got = VersionString(info, s.name);
        Check(got == s.value, Narrow(s.name) + " \"" + Narrow(s.value) +
                                  "\" in block 041104B0 (is \"" + Narrow(got) + "\")");
    }
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    const bool found = VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                                      reinterpret_cast<void**>(&translation), &length) &&
                       length >= sizeof(Translation);
    Check(found && translation->language == 0x0411 && translation->codePage == 1200,
          "translation 0411 (Japanese) with code page 04B0 (Unicode)");
    VS_FIXEDFILEINFO* fixed = nullptr;
    const bool haveFixed =
        VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed;
    Check(haveFixed && fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
              fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0,
          "FILEVERSION and PRODUCTVERSION 1.0.0.0");
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The XPM picture's pixels: -1 transparent, else 0xRRGGBB.
std::vector<long> XpmPixels(const char* const* xpm, int& size) {
    int width = 0, height = 0, colours = 0, chars = 0;
    std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &chars);
    std::map<char, long> palette;
    for (int i = 1; i <= colours; ++i) {
        const char* hash = std::strchr(xpm[i], '#');
        palette[xpm[i][0]] = hash ? std::strtol(hash + 1, nullptr, 16) : -1;
    }
    std::vector<long> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(palette[xpm[1 + colours + y][x]]);
    size = width;
    return pixels;
}

// Compares one icon image (a 4-bit DIB with its AND mask) with the XPM picture.
bool SamePicture(const BYTE* image, DWORD bytes, const char* const* xpm) {
    int size = 0;
    const std::vector<long> want = XpmPixels(xpm, size);
    BITMAPINFOHEADER header;
    if (bytes < sizeof header) return false;
    std::memcpy(&header, image, sizeof header);
    if (header.biWidth != size || header.biHeight != 2 * size || header.biBitCount != 4)
        return false;
    const BYTE* palette = image + header.biSize;
    const BYTE* colour = palette + 16 * 4;
    const int colourStride = ((size * 4 + 31) / 32) * 4;
    const BYTE* mask = colour + colourStride * size;
    const int maskStride = ((size + 31) / 32) * 4;
    if (mask + maskStride * size > image + bytes) return false;
    for (int y = 0; y < size; ++y) {
        const int row = size - 1 - y;  // bottom-up
        for (int x = 0; x < size; ++x) {
            const bool transparent = (mask[row * maskStride + x / 8] >> (7 - x % 8)) & 1;
            const int index = (colour[row * colourStride + x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            const BYTE* q = palette + 4 * index;  // blue, green, red, 0
            const long rgb = (long{q[2]} << 16) | (long{q[1]} << 8) | q[0];
            const long expected = want[static_cast<std::size_t>(y) * size + x];
            if (expected < 0 ? !transparent : (transparent || rgb != expected)) return false;
        }
    }
    return true;
}

void CheckIcon(const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!Check(module != nullptr, "the executable loads as a data file")) return;
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // GROUP_ICON
    if (Check(group != nullptr, "the executable has icon group 1")) {
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
        const WORD count = data ? reinterpret_cast<const WORD*>(data)[2] : 0;
        const auto* entries = reinterpret_cast<const GroupEntry*>(data + 6);
        bool has32 = false, has16 = false, same32 = false, same16 = false;
        for (WORD i = 0; i < count; ++i) {
            const GroupEntry& e = entries[i];
            const bool sixteenColours = e.colours == 16 && e.bitCount == 4;
            HRSRC icon = FindResourceW(module, MAKEINTRESOURCEW(e.id), MAKEINTRESOURCEW(3));
            const BYTE* image =
                icon ? static_cast<const BYTE*>(LockResource(LoadResource(module, icon))) : nullptr;
            const DWORD bytes = icon ? SizeofResource(module, icon) : 0;
            if (e.width == 32 && e.height == 32 && sixteenColours) {
                has32 = true;
                same32 = image && SamePicture(image, bytes, keltos_icon_32);
            }
            if (e.width == 16 && e.height == 16 && sixteenColours) {
                has16 = true;
                same16 = image && SamePicture(image, bytes, keltos_icon_16);
            }
        }
        Check(count == 2 && has32 && has16,
              "the icon group holds a 32 x 32 and a 16 x 16 image in 16 colours (" +
                  std::to_string(count) + " images)");
        Check(same32 && same16, "both images show the clock face of the XPM pictures");
    }
    FreeLibrary(module);
}

// The application manifest (type 24, id 1), by what it must say.
void CheckManifest(const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC found =
        module ? FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    std::string manifest;
    if (found) {
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        if (data) manifest.assign(data, SizeofResource(module, found));
    }
    if (module) FreeLibrary(module);
    if (!Check(!manifest.empty(), "the executable has a manifest (type 24, id 1)")) return;
    const struct {
        const char* what;
        const char* text;
    } says[] = {
        {"Common Controls 6", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""},
        {"system DPI awareness", ">true</dpiAware>"},
        {"per-monitor DPI awareness v2", ">PerMonitorV2</dpiAwareness>"},
        {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
        {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
        {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
        {"Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
        {"no elevation", "level=\"asInvoker\""},
    };
    for (const auto& s : says)
        Check(manifest.find(s.text) != std::string::npos,
              std::string("the manifest asks for ") + s.what + " (" + s.text + ")");
}

}  // namespace

int RunResources() {
    // The path in UTF-16, as the command line gave it: it need not fit the ANSI code page.
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring exe = args && count == 3 ? args[2] : L"";
    LocalFree(args);
    if (!Check(GetFileAttributesW(exe.c_str()) != INVALID_FILE_ATTRIBUTES,
               "the executable " + Narrow(exe) + " is there"))
        return 1;
    CheckVersion(exe);
    CheckIcon(exe);
    CheckManifest(exe);
    return Failures() == 0 ? 0 : 1;
}

}  // namespace probe
