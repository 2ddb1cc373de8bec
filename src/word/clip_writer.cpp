#include "word/clip_writer.h"

#include "base/bytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zlt {

namespace {

constexpr std::size_t kPairs = kClipBlockSize / 2;

// Key bytes of pair p within a block.
std::uint8_t KeyA(ClipKey k, std::size_t p) { return static_cast<std::uint8_t>(k.a + p); }
std::uint8_t KeyB(ClipKey k, std::size_t p) { return static_cast<std::uint8_t>(k.b - p); }

ClipKey KeyOrZero(const ClipHeader& header) { return KeyOf(header).value_or(ClipKey{}); }

}  // namespace

ClipHeader BuildClipHeader(const ClipFields& f) {
    ClipHeader h{};
    std::copy(f.signature.begin(), f.signature.end(), &h[clip_field::kSignature]);
    std::copy(f.formatTag.begin(), f.formatTag.end(), &h[clip_field::kFormatTag]);
    PutU32(&h[clip_field::kVersion], f.version);
    h[clip_field::kKeyIndexA] = f.keyIndexA;
    h[clip_field::kKeyIndexB] = f.keyIndexB;
    std::copy(f.keyArea.begin(), f.keyArea.end(), &h[clip_field::kKeyArea]);
    PutU16(&h[clip_field::kChannels], f.channels);
    PutU16(&h[clip_field::kBitsPerChannel], f.bitsPerChannel);
    PutU32(&h[clip_field::kSampleRate], f.sampleRate);
    PutU32(&h[clip_field::kDataOffset], f.dataOffset);
    PutU32(&h[clip_field::kDataLength], f.dataLength);
    return h;
}

// Each block is undone step by step: the 16-byte XOR with the first byte
// (which that XOR never touches), then the pair transform.
std::vector<std::uint8_t> EncodeSamples8(const ClipHeader& header, std::span<const std::uint8_t> samples) {
    const ClipKey key = KeyOrZero(header);
    std::vector<std::uint8_t> data(samples.size());
    for (std::size_t start = 0; start < samples.size(); start += kClipBlockSize) {
        std::uint8_t page[kClipBlockSize] = {};
        const std::size_t n = std::min(kClipBlockSize, samples.size() - start);
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(start), n, page);
        const std::uint8_t m = page[0];
        for (std::size_t j = 0; j < 16; ++j) page[(m | 1) + j] ^= m;
        std::uint8_t block[kClipBlockSize];
        for (std::size_t p = 0; p < kPairs; ++p) {
            block[2 * p + 1] = page[2 * p] ^ KeyA(key, p);
            block[2 * p] = page[2 * p + 1] ^ KeyB(key, p);
        }
        std::copy_n(block, n, data.begin() + static_cast<std::ptrdiff_t>(start));
    }
    return data;
}

// The page's low byte of sample j comes from data byte 2j+1 and its high byte
// from data byte 2j; the sign flip and the key bytes are undone on the way.
std::vector<std::uint8_t> EncodeSamples16(const ClipHeader& header, std::span<const std::int16_t> samples) {
    const ClipKey key = KeyOrZero(header);
    std::vector<std::uint8_t> data(2 * samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto s = static_cast<std::uint16_t>(samples[i]);
        const std::size_t p = i % kPairs;
        data[2 * i + 1] = static_cast<std::uint8_t>(s) ^ KeyA(key, p);
        data[2 * i] = static_cast<std::uint8_t>(s >> 8) ^ KeyB(key, p);
    }
    return data;
}

std::vector<std::uint8_t> DecodePages8(std::span<const std::uint8_t> pages, std::size_t count) {
    count = std::min(count, pages.size());
    return {pages.begin(), pages.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<std::int16_t> DecodePages16(std::span<const std::uint8_t> pages, std::size_t count) {
    count = std::min(count, pages.size() / 2);
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t page = i / kPairs * kClipBlockSize;
        const std::size_t j = i % kPairs;
        const auto word = static_cast<std::uint16_t>(pages[page + j] | pages[page + kPairs + j] << 8);
        samples[i] = static_cast<std::int16_t>(word ^ 0x8000);
    }
    return samples;
}

std::vector<std::uint8_t> ClipFileBytes(const ClipHeader& header, std::span<const std::uint8_t> data) {
    const std::size_t offset = GetU32(&header[clip_field::kDataOffset]);
    std::vector<std::uint8_t> bytes(std::max(kClipHeaderSize, offset + data.size()));
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    std::copy(header.begin(), header.end(), bytes.begin());
    return bytes;
}

std::vector<std::uint8_t> MakeClip8(ClipFields fields, std::span<const std::uint8_t> samples) {
    fields.bitsPerChannel = 8;
    fields.dataLength = static_cast<std::uint32_t>(samples.size());
    const ClipHeader header = BuildClipHeader(fields);
    return ClipFileBytes(header, EncodeSamples8(header, samples));
}

std::vector<std::uint8_t> MakeClip16(ClipFields fields, std::span<const std::int16_t> samples) {
    fields.bitsPerChannel = 16;
    fields.dataLength = static_cast<std::uint32_t>(2 * samples.size());
    const ClipHeader header = BuildClipHeader(fields);
    return ClipFileBytes(header, EncodeSamples16(header, samples));
}

bool WriteClipFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
}

}  // namespace zlt
