#include "platform/posix/cursor_image.h"

// The bytes of resources/pen.cur, written into the build tree by CMake.
extern const unsigned char kPenCursorFile[];
extern const std::size_t kPenCursorFileSize;

namespace {

std::uint32_t Read16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t Read32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kInfoHeaderSize = 40;

}  // namespace

bool ReadCursorFile(const unsigned char* data, std::size_t size, CursorImage* image) {
    // Directory: reserved 0, type 2 (cursor), count; then one entry per picture, whose colour
    // planes and bit count fields hold the hot spot in a cursor file.
    if (size < kDirectorySize + kEntrySize) return false;
    if (Read16(data) != 0 || Read16(data + 2) != 2 || Read16(data + 4) < 1) return false;
    const unsigned char* entry = data + kDirectorySize;
    int hotX = static_cast<int>(Read16(entry + 4));
    int hotY = static_cast<int>(Read16(entry + 6));
    std::uint32_t length = Read32(entry + 8);
    std::uint32_t offset = Read32(entry + 12);
    if (offset > size || length > size - offset || length < kInfoHeaderSize) return false;
    // The picture: a bitmap header whose height counts the colour rows and the mask rows, then
    // the colour rows from the bottom up (blue, green, red, alpha), then the mask.
    const unsigned char* bitmap = data + offset;
    if (Read32(bitmap) < kInfoHeaderSize) return false;
    std::int32_t width = static_cast<std::int32_t>(Read32(bitmap + 4));
    std::int32_t height = static_cast<std::int32_t>(Read32(bitmap + 8)) / 2;
    if (width <= 0 || height <= 0 || width > 256 || height > 256) return false;
    if (Read16(bitmap + 14) != 32 || Read32(bitmap + 16) != 0) return false;  // 32 bpp, plain
    std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    std::size_t colourStart = Read32(bitmap);
    if (colourStart + rowBytes * height > length) return false;
    if (hotX >= width || hotY >= height) return false;

    image->width = width;
    image->height = height;
    image->hotX = hotX;
    image->hotY = hotY;
    image->pixels.assign(static_cast<std::size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bitmap + colourStart + rowBytes * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row + x * 4;
            std::uint32_t a = p[3];
            auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            image->pixels[static_cast<std::size_t>(y) * width + x] =
                (a << 24) | (premultiply(p[2]) << 16) | (premultiply(p[1]) << 8) |
                premultiply(p[0]);
        }
    }
    return true;
}

const CursorImage& PenCursorImage() {
    static const CursorImage pen = [] {
        CursorImage image;
        if (!ReadCursorFile(kPenCursorFile, kPenCursorFileSize, &image)) image = CursorImage{};
        return image;
    }();
    return pen;
}
