// The clip header checks on the first 128 bytes of the input, in memory and
// through the clip file reader, and the block transform on the rest: the
// clip writer's encoding of the transformed pages must give the input back.
#include "fuzz_support.h"
#include "word/clip.h"
#include "word/clip_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < zlt::kClipHeaderSize) return 0;
    zlt::SetOutputCallback(zlt::fuzz::Discard);
    zlt::ClipHeader header;
    std::memcpy(header.data(), data, header.size());
    zlt::ClipHeader checked = header;
    const bool ok = zlt::CheckClipHeader("fuzz.snx", checked);
    if (ok && (zlt::FormatOf(checked).dataLength % 4 != 0 || !zlt::KeyOf(checked))) std::abort();

    // The same bytes as a file: the reader agrees with the check in memory.
    static const std::string path = zlt::fuzz::WorkFolder() + "/clip.snx";
    zlt::fuzz::WriteFile(path, {data, size});
    zlt::ClipFormat format;
    if (zlt::ReadClipHeader(path.c_str(), format) != ok) std::abort();
    const auto fields = [](const zlt::ClipFormat& f) {
        return std::tuple(f.channels, f.bitsPerChannel, f.sampleRate, f.dataLength);
    };
    if (ok && fields(format) != fields(zlt::FormatOf(checked))) std::abort();

    // The transform of the whole blocks after the header, under the key that
    // the header gives when its key indexes are taken into range.
    header[zlt::clip_field::kKeyIndexA] %= zlt::kMaxKeyIndex + 1;
    header[zlt::clip_field::kKeyIndexB] %= zlt::kMaxKeyIndex + 1;
    const std::size_t blocks = (size - header.size()) / zlt::kClipBlockSize;
    if (blocks == 0) return 0;
    const std::uint8_t* in = data + header.size();
    const std::size_t bytes = blocks * zlt::kClipBlockSize;
    const unsigned bits = (header[zlt::clip_field::kBitsPerChannel] & 1) ? 16 : 8;
    std::vector<std::uint8_t> out(bytes);
    zlt::BlockTransform(*zlt::KeyOf(header), bits).Apply(in, out.data(), blocks);
    const std::vector<std::uint8_t> back = bits == 8
                                               ? zlt::EncodeSamples8(header, zlt::DecodePages8(out, bytes))
                                               : zlt::EncodeSamples16(header, zlt::DecodePages16(out, bytes / 2));
    if (back.size() != bytes || std::memcmp(back.data(), in, bytes) != 0) std::abort();
    return 0;
}
