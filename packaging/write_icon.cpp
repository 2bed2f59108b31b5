// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program icon, drawn afresh at every size by the same code the window uses:
//   write_icon DIR         each icon-theme size as DIR/NxN/apps/kelvane.png
//   write_icon --ico FILE  a Windows icon file with the sizes Windows asks for, 16 to 256 px
#include "app/artwork.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdint>
#include <cstdio>

namespace {

// The sizes the Windows shell and its dialogs pick from (small and large icons at each
// scaling, the taskbar, the tiles of Explorer).
constexpr int windowsIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 128, 256};

void put16(QByteArray &out, std::uint16_t value)
{
    out.append(static_cast<char>(value & 0xFF)).append(static_cast<char>(value >> 8));
}

void put32(QByteArray &out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

// One image of an icon file: a 32-bit bitmap with its transparency mask below 256 px, which
// every version of Windows reads, and a PNG at 256 px, as the shell writes it itself.
QByteArray iconImage(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QByteArray out;
    if (image.width() >= 256) {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return out;
    }
    const int width = image.width();
    const int height = image.height();
    const int maskStride = ((width + 31) / 32) * 4;
    put32(out, 40); // BITMAPINFOHEADER
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(2 * height)); // the colours and the mask
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // BI_RGB
    put32(out, static_cast<std::uint32_t>(height * (width * 4 + maskStride)));
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    // Rows bottom up; ARGB32 lies in memory as blue, green, red, alpha, the bitmap's order.
    for (int row = height - 1; row >= 0; --row)
        out.append(reinterpret_cast<const char *>(image.constScanLine(row)), width * 4);
    for (int row = height - 1; row >= 0; --row) {
        QByteArray mask(maskStride, '\0');
        for (int x = 0; x < width; ++x) {
            if (qAlpha(image.pixel(x, row)) == 0)
                mask[x / 8] = static_cast<char>(mask[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(mask);
    }
    return out;
}

QByteArray iconFile()
{
    constexpr auto count = static_cast<std::uint16_t>(std::size(windowsIconSizes));
    QByteArray header;
    put16(header, 0);
    put16(header, 1); // an icon, not a cursor
    put16(header, count);
    QByteArray images;
    auto offset = static_cast<std::uint32_t>(6 + 16 * count);
    for (const int size : windowsIconSizes) {
        const QByteArray image = iconImage(programIcon(size));
        header.append(static_cast<char>(size >= 256 ? 0 : size)).append(static_cast<char>(size >= 256 ? 0 : size));
        header.append('\0').append('\0'); // no palette
        put16(header, 1);
        put16(header, 32);
        put32(header, static_cast<std::uint32_t>(image.size()));
        put32(header, offset + static_cast<std::uint32_t>(images.size()));
        images.append(image);
    }
    return header + images;
}

bool writeThemeIcons(const QString &root)
{
    for (const int size : programIconSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder) || !programIcon(size).save(folder + QStringLiteral("/kelvane.png"), "PNG"))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const bool ico = argc == 3 && qstrcmp(argv[1], "--ico") == 0;
    if (argc != 2 && !ico) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIRECTORY | --ico FILE\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString target = QString::fromLocal8Bit(argv[argc - 1]);
    bool written = false;
    if (ico) {
        QFile file(target);
        const QByteArray bytes = iconFile();
        written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    } else {
        written = writeThemeIcons(target);
    }
    if (!written) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(target));
        return 1;
    }
    return 0;
}
