#include "frameimage.h"

#include <algorithm>

namespace {

// Deep monochrome samples (16-bit little-endian containers) as 8-bit grey.
QImage narrowed(const uchar* data, int width, int height, int depth) {
    QImage image(width, height, QImage::Format_Grayscale8);
    const int shift = depth > 8 ? depth - 8 : 0;
    for (int y = 0; y < height; ++y) {
        const uchar* row = data + static_cast<std::size_t>(y) * width * 2;
        uchar* out = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int sample = row[2 * x] | (row[2 * x + 1] << 8);
            out[x] = static_cast<uchar>(std::min(255, sample >> shift));
        }
    }
    return image;
}

}  // namespace

FrameLayout frameLayoutOf(const QString& pixelFormat, int* depth) {
    *depth = 8;
    if (pixelFormat == "Mono8") {
        return FrameLayout::Gray8;
    }
    if (pixelFormat.startsWith("Mono")) {
        // "Mono12", and packed "Mono12p" or "Mono12Packed", which the plug-in
        // hands over unpacked.
        int digits = 0;
        while (4 + digits < pixelFormat.size() && pixelFormat[4 + digits].isDigit()) {
            ++digits;
        }
        bool ok = false;
        const int bits = pixelFormat.mid(4, digits).toInt(&ok);
        *depth = ok ? bits : 16;
        return FrameLayout::Gray16;
    }
    if (pixelFormat.startsWith("RGB8")) {
        return FrameLayout::Rgb8;
    }
    return FrameLayout::Bgr8;
}

QImage copyFrame(const ICameraObject* camera, FrameLayout layout, int depth) {
    const int width = camera->m_nWidth;
    const int height = camera->m_nHeight;
    const uchar* data = camera->m_pImageData;
    if (data == nullptr || width <= 0 || height <= 0) {
        return QImage();
    }
    switch (layout) {
        case FrameLayout::Gray8:
            return QImage(data, width, height, width, QImage::Format_Grayscale8).copy();
        case FrameLayout::Gray16:
            return narrowed(data, width, height, depth);
        case FrameLayout::Rgb8:
            return QImage(data, width, height, width * 3, QImage::Format_RGB888).copy();
        case FrameLayout::Bgr8:
            break;
    }
    return QImage(data, width, height, width * 3, QImage::Format_BGR888).copy();
}
