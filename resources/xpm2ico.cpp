// xpm2ico: turns XPM pictures into one Windows .ico file with a 16-colour (4 bits per pixel)
// image for each, in the order given. Runs on the build machine while KELTOS.exe is built.
//
//   xpm2ico OUTPUT.ico INPUT.xpm...
//
// Reads the XPM format the icons are written in: one string per line, a header "w h colours
// chars-per-pixel", colour lines "<chars> c <#RRGGBB | None>", then the pixel rows. Each colour
// is mapped to the nearest of the standard 16 Windows colours; "None" is transparent (set in the
// AND mask). Anything else is refused with a message naming the file and what is wrong, and the
// output is written only when every input was read.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

// The standard 16-colour palette of Windows, in its usual order.
constexpr std::array<Rgb, 16> kPalette{{{0x00, 0x00, 0x00},
                                        {0x80, 0x00, 0x00},
                                        {0x00, 0x80, 0x00},
                                        {0x80, 0x80, 0x00},
                                        {0x00, 0x00, 0x80},
                                        {0x80, 0x00, 0x80},
                                        {0x00, 0x80, 0x80},
                                        {0xC0, 0xC0, 0xC0},
                                        {0x80, 0x80, 0x80},
                                        {0xFF, 0x00, 0x00},
                                        {0x00, 0xFF, 0x00},
                                        {0xFF, 0xFF, 0x00},
                                        {0x00, 0x00, 0xFF},
                                        {0xFF, 0x00, 0xFF},
                                        {0x00, 0xFF, 0xFF},
                                        {0xFF, 0xFF, 0xFF}}};

constexpr int kTransparent = -1;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<int> pixels;  // palette index per pixel, row by row from the top; -1 transparent
};

[[noreturn]] void Fail(const std::string& file, const std::string& what) {
    throw std::runtime_error(file + ": " + what);
}

int NearestColour(const Rgb& c) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < static_cast<int>(kPalette.size()); ++i) {
        const long dr = c.r - kPalette[i].r, dg = c.g - kPalette[i].g, db = c.b - kPalette[i].b;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// The C strings of the file, in order ("..." on each line; escapes are not used by XPM icons).
std::vector<std::string> Strings(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) Fail(file, "cannot be opened");
    std::vector<std::string> strings;
    std::string line;
    bool inComment = false;
    while (std::getline(in, line)) {
        std::size_t i = 0;
        while (i < line.size()) {
            if (inComment) {
                const std::size_t end = line.find("*/", i);
                if (end == std::string::npos) break;
                inComment = false;
                i = end + 2;
            } else if (line.compare(i, 2, "/*") == 0) {
                inComment = true;
                i += 2;
            } else if (line[i] == '"') {
                const std::size_t end = line.find('"', i + 1);
                if (end == std::string::npos) Fail(file, "a string is not closed: " + line);
                strings.push_back(line.substr(i + 1, end - i - 1));
                i = end + 1;
            } else {
                ++i;
            }
        }
    }
    return strings;
}

Rgb ParseHex(const std::string& file, const std::string& value) {
    if (value.size() != 7 || value[0] != '#') Fail(file, "colour '" + value + "' is not #RRGGBB");
    Rgb c{};
    int* parts[] = {&c.r, &c.g, &c.b};
    for (int k = 0; k < 3; ++k) {
        const std::string hex = value.substr(1 + 2 * k, 2);
        if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            Fail(file, "colour '" + value + "' is not #RRGGBB");
        *parts[k] = std::stoi(hex, nullptr, 16);
    }
    return c;
}

Picture ReadXpm(const std::string& file) {
    const std::vector<std::string> strings = Strings(file);
    if (strings.empty()) Fail(file, "no XPM header");
    std::istringstream header(strings[0]);
    int colours = 0, chars = 0;
    Picture p;
    if (!(header >> p.width >> p.height >> colours >> chars))
        Fail(file, "the header '" + strings[0] + "' is not 'width height colours chars'");
    if (p.width <= 0 || p.width > 256 || p.height <= 0 || p.height > 256)
        Fail(file, "an icon is 1 to 256 pixels wide and high");
    if (colours <= 0 || chars <= 0 || chars > 4) Fail(file, "bad colour count or chars per pixel");
    if (strings.size() != 1u + colours + p.height)
        Fail(file, "expected " + std::to_string(1 + colours + p.height) + " strings, found " +
                       std::to_string(strings.size()));

    std::map<std::string, int> index;
    for (int i = 1; i <= colours; ++i) {
        const std::string& line = strings[i];
        if (static_cast<int>(line.size()) < chars) Fail(file, "short colour line '" + line + "'");
        std::istringstream rest(line.substr(chars));
        std::string key, value;
        if (!(rest >> key >> value) || key != "c")
            Fail(file, "colour line '" + line + "' has no 'c' colour");
        const std::string code = line.substr(0, chars);
        if (index.count(code)) Fail(file, "colour '" + code + "' is defined twice");
        index[code] = (value == "None" || value == "none") ? kTransparent
                                                           : NearestColour(ParseHex(file, value));
    }

    p.pixels.reserve(static_cast<std::size_t>(p.width) * p.height);
    for (int y = 0; y < p.height; ++y) {
        const std::string& row = strings[1 + colours + y];
        if (static_cast<int>(row.size()) != p.width * chars)
            Fail(file, "row " + std::to_string(y + 1) + " is not " + std::to_string(p.width) +
                           " pixels wide");
        for (int x = 0; x < p.width; ++x) {
            const auto found = index.find(row.substr(static_cast<std::size_t>(x) * chars, chars));
            if (found == index.end())
                Fail(file, "row " + std::to_string(y + 1) + " uses an undefined colour");
            p.pixels.push_back(found->second);
        }
    }
    return p;
}

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) out.push_back((value >> (8 * k)) & 0xFF);
}

// The icon image as Windows stores it: a BITMAPINFOHEADER of twice the height, the 16-colour
// palette, the 4-bit colour rows and the 1-bit AND mask rows, both from the bottom row up and
// each row padded to 4 bytes.
std::vector<std::uint8_t> IconImage(const Picture& p) {
    const int xorStride = ((p.width * 4 + 31) / 32) * 4;
    const int andStride = ((p.width + 31) / 32) * 4;
    std::vector<std::uint8_t> out;
    Put32(out, 40);
    Put32(out, p.width);
    Put32(out, 2 * p.height);
    Put16(out, 1);  // planes
    Put16(out, 4);  // bits per pixel
    Put32(out, 0);  // BI_RGB
    Put32(out, (xorStride + andStride) * p.height);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 16);  // colours used
    Put32(out, 0);
    for (const Rgb& c : kPalette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = p.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(xorStride, 0);
        for (int x = 0; x < p.width; ++x) {
            const int colour = p.pixels[static_cast<std::size_t>(y) * p.width + x];
            const int nibble = colour == kTransparent ? 0 : colour;
            row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? nibble << 4 : nibble);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = p.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(andStride, 0);
        for (int x = 0; x < p.width; ++x)
            if (p.pixels[static_cast<std::size_t>(y) * p.width + x] == kTransparent)
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<std::uint8_t> IconFile(const std::vector<Picture>& pictures) {
    std::vector<std::vector<std::uint8_t>> images;
    for (const Picture& p : pictures) images.push_back(IconImage(p));
    std::vector<std::uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // icon
    Put16(out, static_cast<unsigned>(pictures.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(pictures[i].width % 256));  // 256 is stored as 0
        out.push_back(static_cast<std::uint8_t>(pictures[i].height % 256));
        out.push_back(16);  // colours
        out.push_back(0);
        Put16(out, 1);  // planes
        Put16(out, 4);  // bits per pixel
        Put32(out, static_cast<std::uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

void WriteAtomically(const std::string& file, const std::vector<std::uint8_t>& bytes) {
    const std::string temporary = file + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) Fail(file, "cannot be written");
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::remove(temporary.c_str());
        Fail(file, "cannot be written");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: xpm2ico OUTPUT.ico INPUT.xpm...\n");
        return 2;
    }
    try {
        std::vector<Picture> pictures;
        for (int i = 2; i < argc; ++i) pictures.push_back(ReadXpm(argv[i]));
        WriteAtomically(argv[1], IconFile(pictures));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "xpm2ico: %s\n", e.what());
        return 1;
    }
    return 0;
}
