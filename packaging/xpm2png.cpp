// Build tool: writes the icon's XPM pictures as PNG files for the desktop's icon theme.
//   xpm2png OUT_DIR  ->  OUT_DIR/16x16/keltos.png, OUT_DIR/32x32/keltos.png
#include <QDir>
#include <QImage>
#include <cstdio>

#include "resources/keltos_icon_16.xpm"
#include "resources/keltos_icon_32.xpm"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xpm2png OUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char* const* xpm;
        const char* size;
    } icons[] = {{keltos_icon_16, "16x16"}, {keltos_icon_32, "32x32"}};
    for (const auto& icon : icons) {
        const QImage image(icon.xpm);
        const QString dir = out.filePath(QString::fromLatin1(icon.size));
        if (image.isNull() || !QDir().mkpath(dir) ||
            !image.save(QDir(dir).filePath(QStringLiteral("keltos.png")), "PNG")) {
            std::fprintf(stderr, "xpm2png: cannot write the %s icon into %s\n", icon.size, argv[1]);
            return 1;
        }
    }
    return 0;
}
