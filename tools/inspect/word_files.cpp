#include "inspect/word_files.h"

#include "base/bytes.h"
#include "word/clip_writer.h"

#include <cstring>

namespace zlt::inspect {

// GCC 12 at -O3 reports false bounds faults for the samples appended to the
// 44-byte header (GCC bug 105651 and its kin).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
std::vector<std::uint8_t> WavFile(const WordInfo& word, const std::vector<std::uint8_t>& samples) {
    const std::uint32_t bytesPerSample = word.bits / 8;
    std::uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, static_cast<std::uint32_t>(36 + samples.size()));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutU32(h + 16, 16);
    PutU16(h + 20, 1);  // PCM
    PutU16(h + 22, 1);  // one channel
    PutU32(h + 24, word.sampleRate);
    PutU32(h + 28, word.sampleRate * bytesPerSample);
    PutU16(h + 32, static_cast<std::uint16_t>(bytesPerSample));
    PutU16(h + 34, static_cast<std::uint16_t>(word.bits));
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, static_cast<std::uint32_t>(samples.size()));
    // Plain copies into a vector sized once: GCC 12 at -O2 takes an insert
    // past the header for an out-of-bounds copy (-Warray-bounds).
    std::vector<std::uint8_t> out(sizeof h + samples.size());
    std::memcpy(out.data(), h, sizeof h);
    if (!samples.empty()) std::memcpy(out.data() + sizeof h, samples.data(), samples.size());
    return out;
}
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic pop
#endif

std::vector<std::uint8_t> RecoveredClip(std::span<const std::uint8_t> file, const DecodedImage& image,
                                        const WordInfo& word) {
    ClipFields fields;
    fields.bitsPerChannel = static_cast<std::uint16_t>(word.bits);
    fields.sampleRate = word.sampleRate;
    // A length below 16 bytes takes no unit; the header still needs a non-zero one.
    fields.dataLength = word.byteLength != 0 ? word.byteLength : 4;
    const ClipHeader header = BuildClipHeader(fields);
    std::vector<std::uint8_t> data;
    if (!word.used) {
        data.assign(fields.dataLength, 0);
    } else {
        // Whole pages, so that the last block reads back exactly as linked.
        const std::span<const std::uint8_t> pages = WordPagesOf(file, image, word);
        data = word.bits == 8 ? EncodeSamples8(header, DecodePages8(pages, pages.size()))
                              : EncodeSamples16(header, DecodePages16(pages, pages.size() / 2));
    }
    return ClipFileBytes(header, data);
}

}  // namespace zlt::inspect
