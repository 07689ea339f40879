#include "pixelpacking.h"

namespace BGAPI2 {
namespace pixel {
namespace {

void packContainers(int depth, const std::vector<std::uint16_t>& samples,
                    std::vector<std::uint8_t>* out) {
    const bool wide = depth > 8;
    out->reserve(samples.size() * (wide ? 2 : 1));
    for (std::uint16_t sample : samples) {
        out->push_back(static_cast<std::uint8_t>(sample & 0xFF));
        if (wide) {
            out->push_back(static_cast<std::uint8_t>(sample >> 8));
        }
    }
}

void packBitStream(int depth, const std::vector<std::uint16_t>& samples,
                   std::vector<std::uint8_t>* out) {
    out->reserve((samples.size() * static_cast<std::size_t>(depth) + 7) / 8);
    const std::uint64_t mask = (std::uint64_t{1} << depth) - 1;
    std::uint64_t pending = 0;  // bits not yet written, lowest first
    int count = 0;
    for (std::uint16_t sample : samples) {
        pending |= (sample & mask) << count;
        for (count += depth; count >= 8; count -= 8) {
            out->push_back(static_cast<std::uint8_t>(pending & 0xFF));
            pending >>= 8;
        }
    }
    if (count > 0) {
        out->push_back(static_cast<std::uint8_t>(pending));
    }
}

void packPairs(int depth, const std::vector<std::uint16_t>& samples,
               std::vector<std::uint8_t>* out) {
    const int low = depth - 8;
    const unsigned lowMask = (1u << low) - 1;
    for (std::size_t i = 0; i < samples.size(); i += 2) {
        const unsigned first = samples[i];
        const unsigned second = i + 1 < samples.size() ? samples[i + 1] : 0;
        out->push_back(static_cast<std::uint8_t>(first >> low));
        out->push_back(static_cast<std::uint8_t>((first & lowMask) | (second & lowMask) << 4));
        out->push_back(static_cast<std::uint8_t>(second >> low));
    }
}

}  // namespace

std::vector<std::uint8_t> packSamples(const FormatInfo& format,
                                      const std::vector<std::uint16_t>& samples) {
    std::vector<std::uint8_t> out;
    switch (format.packing) {
        case Packing::None:
            packContainers(format.depth, samples, &out);
            break;
        case Packing::Lsb:
            packBitStream(format.depth, samples, &out);
            break;
        case Packing::Pairs:
            packPairs(format.depth, samples, &out);
            break;
    }
    return out;
}

}  // namespace pixel
}  // namespace BGAPI2
