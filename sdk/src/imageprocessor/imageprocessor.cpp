#include <exception>
#include <mutex>
#include <vector>

#include "../pixelformats.h"
#include "../trace.h"
#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "convert.h"
#include "imagepool.h"
#include "unpack.h"

namespace BGAPI2 {

using Exceptions::InvalidParameterException;
using Exceptions::ObjectInvalidException;

struct Image::Impl {
    ImageProcessor::Impl* processor = nullptr;
    const pixel::FormatInfo* format = nullptr;
    bo_uint width = 0;
    bo_uint height = 0;
    void* data = nullptr;
    imaging::ImagePool::Block* block = nullptr;  // set for converted images
    bool inUse = false;
};

// Image objects are pooled like their memory, so a frame allocates nothing.
struct ImageProcessor::Impl {
    imaging::ImagePool pool;
    std::mutex mutex;
    std::vector<Image*> images;
    std::vector<Image*> idle;

    Image* take() {
        std::lock_guard<std::mutex> lock(mutex);
        Image* image = nullptr;
        if (!idle.empty()) {
            image = idle.back();
            idle.pop_back();
        } else {
            image = new Image();
            image->m_impl = new Image::Impl();
            image->m_impl->processor = this;
            images.push_back(image);
        }
        image->m_impl->inUse = true;
        return image;
    }

    void giveBack(Image* image) {
        if (image->m_impl->block != nullptr) {
            pool.release(image->m_impl->block);
            image->m_impl->block = nullptr;
        }
        std::lock_guard<std::mutex> lock(mutex);
        image->m_impl->inUse = false;
        idle.push_back(image);
    }

    ~Impl() {
        for (Image* image : images) {
            delete image;
        }
    }
};

namespace {
std::mutex g_processorMutex;
ImageProcessor* g_processor = nullptr;
}  // namespace

ImageProcessor::ImageProcessor() : m_impl(std::make_unique<Impl>()) {}
ImageProcessor::~ImageProcessor() = default;

ImageProcessor* ImageProcessor::GetInstance() {
    BGAPI2_TRACE("ImageProcessor::GetInstance", "ImageProcessor");
    std::lock_guard<std::mutex> lock(g_processorMutex);
    if (g_processor == nullptr) {
        g_processor = new ImageProcessor();
    }
    return g_processor;
}

void ImageProcessor::ReleaseInstance() {
    BGAPI2_TRACE("ImageProcessor::ReleaseInstance", "ImageProcessor");
    std::lock_guard<std::mutex> lock(g_processorMutex);
    delete g_processor;
    g_processor = nullptr;
}

Image* ImageProcessor::CreateImage(bo_uint width, bo_uint height, const String& pixelFormat,
                                   void* buffer, bo_uint64 size) {
    BGAPI2_TRACE("ImageProcessor::CreateImage", "ImageProcessor",
                 std::to_string(width) + "x" + std::to_string(height) + " " + pixelFormat.str());
    const char* function = "ImageProcessor::CreateImage";
    const pixel::FormatInfo* format = pixel::find(pixelFormat.str());
    if (format == nullptr) {
        throw InvalidParameterException("unknown pixel format '" + pixelFormat.str() + "'",
                                        function);
    }
    if (buffer == nullptr) {
        throw InvalidParameterException("image memory is null", function);
    }
    if (!imaging::convertible(*format, width, height)) {
        throw InvalidParameterException("unsupported image size " + std::to_string(width) + "x" +
                                            std::to_string(height) + " for " + pixelFormat.str(),
                                        function);
    }
    const bo_uint64 needed = pixel::payloadSize(*format, width, height);
    if (size < needed) {
        throw InvalidParameterException("memory of " + std::to_string(size) +
                                            " bytes is shorter than the " + std::to_string(needed) +
                                            " bytes the image needs",
                                        function);
    }
    Image* image = m_impl->take();
    image->m_impl->format = format;
    image->m_impl->width = width;
    image->m_impl->height = height;
    image->m_impl->data = buffer;
    return image;
}

Image::~Image() {
    delete m_impl;
}

bo_uint Image::GetWidth() {
    return m_impl->width;
}
bo_uint Image::GetHeight() {
    return m_impl->height;
}
String Image::GetPixelformat() {
    return m_impl->format->name;
}

void* Image::GetBuffer() {
    BGAPI2_TRACE("Image::GetBuffer", m_impl->format->name);
    if (!m_impl->inUse) {
        throw ObjectInvalidException("image was released", "Image::GetBuffer");
    }
    return m_impl->data;
}

namespace {

// What an image converts to: BGR8, and a packed image also to its samples
// one per 16-bit container. Null for any other target.
const pixel::FormatInfo* transformTarget(const pixel::FormatInfo& source, const String& target) {
    const pixel::FormatInfo* unpacked = pixel::unpackedOf(source);
    if (unpacked != nullptr && target == unpacked->name) {
        return unpacked;
    }
    return target == "BGR8" ? pixel::find("BGR8") : nullptr;
}

void transform(const pixel::FormatInfo& source, const pixel::FormatInfo& target,
               const std::uint8_t* src, bo_uint width, bo_uint height, std::uint8_t* dst) {
    if (target.layout == pixel::Layout::BGR) {
        imaging::toBgr8(source, src, width, height, dst);
    } else {
        imaging::unpackTo16(source, src, std::size_t{width} * height,
                            reinterpret_cast<std::uint16_t*>(dst));
    }
}

}  // namespace

bo_uint64 Image::GetTransformBufferLength(const String& format) {
    const pixel::FormatInfo* target = transformTarget(*m_impl->format, format);
    if (target == nullptr) {
        throw InvalidParameterException(
            "cannot convert " + std::string(m_impl->format->name) + " to '" + format.str() + "'",
            "Image::GetTransformBufferLength");
    }
    return pixel::payloadSize(*target, m_impl->width, m_impl->height);
}

void Image::TransformImage(const String& format, Image** out) {
    BGAPI2_TRACE("Image::TransformImage", m_impl->format->name, format.str());
    const char* function = "Image::TransformImage";
    if (out == nullptr) {
        throw InvalidParameterException("output image pointer is null", function);
    }
    const pixel::FormatInfo* target = transformTarget(*m_impl->format, format);
    if (target == nullptr) {
        throw InvalidParameterException(
            "cannot convert " + std::string(m_impl->format->name) + " to '" + format.str() + "'",
            function);
    }
    if (!m_impl->inUse) {
        throw ObjectInvalidException("image was released", function);
    }
    const bo_uint64 bytes = pixel::payloadSize(*target, m_impl->width, m_impl->height);
    imaging::ImagePool::Block* block = m_impl->processor->pool.acquire(bytes);
    try {
        transform(*m_impl->format, *target, static_cast<const std::uint8_t*>(m_impl->data),
                  m_impl->width, m_impl->height, block->memory.get());
    } catch (const std::exception& error) {
        m_impl->processor->pool.release(block);
        throw Exceptions::LowLevelException(error.what(), function);
    }
    Image* result = m_impl->processor->take();
    result->m_impl->format = target;
    result->m_impl->width = m_impl->width;
    result->m_impl->height = m_impl->height;
    result->m_impl->data = block->memory.get();
    result->m_impl->block = block;
    *out = result;
}

void Image::Release() {
    BGAPI2_TRACE("Image::Release", m_impl->format->name);
    if (!m_impl->inUse) {
        throw ObjectInvalidException("image was released already", "Image::Release");
    }
    m_impl->processor->giveBack(this);
}

}  // namespace BGAPI2
