#include "studio/word_audio.h"

#include "word/clip.h"
#include "word/clip_writer.h"

#include <cstring>

namespace zlt::studio {

namespace {

// More audio than the studio decodes for one word (about 35 minutes at 16
// bits and 16 kHz).
constexpr std::uint32_t kMaxDecodedBytes = 64u << 20;

bool Fail(ClipFault fault, const ClipFormat& format, const std::string& path, std::string& error) {
    Reporter report;
    report.Start(Reporter::Mode::kCheck, path);
    ReportClipFault(report, fault, format, path.c_str(), {});
    error = report.Diagnostics().empty() ? "the clip cannot be read" : report.Diagnostics().front().message;
    return false;
}

}  // namespace

std::optional<ClipWord> ReadClipWord(const std::string& path, bool withSamples, std::string& error) {
    ClipFile file;
    ClipHeader header{};
    ClipFault fault = OpenClip(path.c_str(), file, header);
    if (fault == ClipFault::kNone) fault = HeaderFault(header);
    ClipFormat clip = FormatOf(header);
    clip.dataLength &= ~3u;  // as the linker reads it
    WordEntry entry;
    if (fault == ClipFault::kNone) fault = ClipFaultOf(EntryOf(clip, entry));
    if (fault != ClipFault::kNone) {
        Fail(fault, clip, path, error);
        return std::nullopt;
    }
    ClipWord word{*DecodeWordEntry(entry), {}};
    if (!withSamples) return word;
    if (word.format.byteLength > kMaxDecodedBytes) {
        error = "the clip is too long for the studio to show";
        return std::nullopt;
    }
    const std::size_t bytes = std::size_t{word.format.pages} * kClipBlockSize;
    std::vector<std::uint8_t> data(bytes), pages(bytes);
    if (!file.Seek(DataOffsetOf(header)) || file.Read(data.data(), bytes) < word.format.byteLength) {
        Fail(ClipFault::kDataShort, clip, path, error);
        return std::nullopt;
    }
    std::memset(data.data() + word.format.byteLength, 0, bytes - word.format.byteLength);
    BlockTransform(*KeyOf(header), clip.bitsPerChannel).Apply(data.data(), pages.data(), word.format.pages);
    if (word.format.bits == 16) {
        word.samples = DecodePages16(pages, word.format.byteLength / 2);
    } else {
        for (std::uint8_t s : DecodePages8(pages, word.format.byteLength))
            word.samples.push_back(static_cast<std::int16_t>((s - 128) * 256));
    }
    return word;
}

}  // namespace zlt::studio
