#pragma once

#include <QImage>

// A .pixels file: these four bytes, the width and the height as 32-bit
// unsigned big-endian numbers, then the rows from the top, each pixel as the
// bytes red, green, blue and alpha, not premultiplied.
inline constexpr char PixelsFileMagic[4] = {'Q', 'V', 'P', 'X'};
inline constexpr int PixelsFileHeaderSize = sizeof PixelsFileMagic + 2 * 4;
inline constexpr QImage::Format PixelsFileFormat = QImage::Format_RGBA8888;
