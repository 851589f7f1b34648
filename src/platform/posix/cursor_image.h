// Cursor pictures for X: the program's pen cursor, read from the Windows .cur file the Windows
// program carries as a resource (built into the Linux program as bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct CursorImage {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    // 0xAARRGGBB with premultiplied alpha, rows from the top: what X's cursors take.
    std::vector<std::uint32_t> pixels;
};

// The first picture of a .cur file, which must be 32 bits per pixel; false for anything else
// (another kind of file, another depth, a file cut short).
bool ReadCursorFile(const unsigned char* data, std::size_t size, CursorImage* image);

// The pen (resources/pen.cur). Empty only if the built-in bytes were unreadable.
const CursorImage& PenCursorImage();
