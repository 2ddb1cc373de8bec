#include "word/word_table.h"

#include "base/format.h"
#include "base/message.h"
#include "base/section_writer.h"
#include "word/clip_path.h"

namespace zlt {

unsigned SampleRateOfCode(unsigned code) {
    for (const RateCode& r : kRateCodes)
        if (r.code == code) return r.hz;
    return 0;
}

std::optional<WordFormat> DecodeWordEntry(const WordEntry& e) {
    WordFormat f;
    const std::uint32_t flags = e.format & kFormatFlagsMask;
    f.bits = flags == (kOneChannel | kEightBit) ? 8 : flags == (kOneChannel | kSixteenBit) ? 16 : 0;
    f.sampleRate = SampleRateOfCode((e.length & kRateCodeMask) >> kRateCodeShift);
    if (f.bits == 0 || f.sampleRate == 0 || (e.length & kUnusedLengthBits) != 0) return std::nullopt;
    f.byteLength = WordBytes(e);
    f.pages = WordPages(e);
    f.startPage = e.format & kStartPageMask;
    f.used = IsUsed(e);
    return f;
}

std::string WordKey(unsigned n) { return FormatText("W%0.4d", static_cast<int>(n)); }

WordFault EntryOf(const ClipFormat& clip, WordEntry& entry) {
    entry = WordEntry{};
    if (clip.channels != 1) return WordFault::kChannels;
    entry.format = kOneChannel;
    if (clip.bitsPerChannel == 8)
        entry.format |= kEightBit;
    else if (clip.bitsPerChannel == 16)
        entry.format |= kSixteenBit;
    else
        return WordFault::kBitsPerChannel;
    for (const RateCode& r : kRateCodes) {
        if (r.hz == clip.sampleRate) entry.length = r.code << kRateCodeShift;
    }
    if (entry.length == 0) return WordFault::kSampleRate;
    if (clip.dataLength > kMaxClipBytes) return WordFault::kDataLength;
    entry.length |= (clip.dataLength / kLengthUnitBytes) & kLengthUnitsMask;
    return WordFault::kNone;
}

bool UseWord(LinkContext& ctx, unsigned n) {
    if (n >= kEntryCount || !IsDefined(ctx.wordTable[n])) return false;
    ctx.wordTable[n].length |= kUsedBit;
    return true;
}

TextSpan WordValueSpan(const LinkContext& ctx, const std::string& key) {
    return ctx.reader ? ValueSpan(*ctx.reader, "ZLP.Word", key) : TextSpan{};
}

ClipFault ClipFaultOf(WordFault fault) {
    switch (fault) {
    case WordFault::kNone: return ClipFault::kNone;
    case WordFault::kChannels: return ClipFault::kChannels;
    case WordFault::kBitsPerChannel: return ClipFault::kBitsPerChannel;
    case WordFault::kSampleRate: return ClipFault::kSampleRate;
    case WordFault::kDataLength: return ClipFault::kDataTooLong;
    }
    return ClipFault::kNone;
}

namespace {

// Reads the clip of word n into its entry; reports a fault and returns false.
bool ParseWord(LinkContext& ctx, unsigned n, const std::string& path) {
    const char* p = path.c_str();
    ClipSite site{WordKey(n), {}};
    site.at = WordValueSpan(ctx, site.key);
    if (ctx.report.Checking() && path.find('\\') != std::string::npos)
        ctx.report.Warn(Found<Diag::kBackslashPath>(site.at, site.key, path, site.key));
    if (!ClipAccessible(p)) return ReportClipFault(ctx.report, ClipFault::kAccess, {}, p, site);
    // The image must not replace a clip it reads (a check writes no image).
    if (!ctx.report.Checking() && ctx.image.Overwrites(ClipFileName(path))) {
        LnkPrintf("\nErr: Image file %s is the clip of W%0.4d of file %s", ctx.imagePath.c_str(),
                  static_cast<int>(n), ctx.projectPath.c_str());
        return false;
    }
    ClipFormat clip;
    std::uint32_t dataOffset = 0;
    std::uint64_t fileSize = 0;
    if (!ReadClipHeader(ctx.report, p, site, clip, &dataOffset, &fileSize)) return false;
    WordEntry& entry = ctx.wordTable[n];
    const WordFault fault = EntryOf(clip, entry);
    if (fault != WordFault::kNone) return ReportClipFault(ctx.report, ClipFaultOf(fault), clip, p, site);
    // The word image takes WordBytes from the data offset on; a check
    // notes now whether the file holds them, for CheckWordImage.
    const std::uint64_t need = WordBytes(entry);
    if (ctx.report.Checking() && need > 0 && (dataOffset > fileSize || fileSize - dataOffset < need))
        ctx.clipDataShort.set(n);
    return true;
}

}  // namespace

bool ParseWordTable(LinkContext& ctx) {
    for (unsigned n = 0; n < kEntryCount; ++n) {
        const std::string path = ctx.reader->ReadString("ZLP.Word", WordKey(n), "");
        if (path.empty() || ParseWord(ctx, n, path)) continue;
        if (!ctx.report.GoOn()) return false;
        // A check goes on with the word defined, so that the sentences that
        // play it are not reported as well.
        ctx.wordTable[n] = kStandInWord;
    }
    return true;
}

bool PlaceWords(LinkContext& ctx) {
    std::uint32_t page = 0;
    ctx.wordImagePages = 0;
    for (unsigned n = 0; n < kEntryCount; ++n) {
        WordEntry& e = ctx.wordTable[n];
        if (!IsUsed(e)) continue;
        // Each word adds fewer than 2^19 pages, so the sum cannot wrap.
        const std::uint32_t end = page + WordPages(e);
        if (end >= kWordImagePageLimit) {
            const std::string key = WordKey(n);
            return ctx.report.Fail(Found<Diag::kWordImageFull>(WordValueSpan(ctx, key), key,
                                                               std::to_string(kWordImagePageLimit - 1), key),
                                   "\nErr: ZLT_WIMG.BIN exceeds %u pages at W%0.4d of file %s",
                                   kWordImagePageLimit - 1, static_cast<int>(n), ctx.projectPath.c_str());
        }
        e.format |= page;
        page = end;
    }
    ctx.wordImagePages = page;
    return true;
}

bool WriteWordTableSection(LinkContext& ctx, DirSlot& slot) {
    static_assert(kWordEntryBytes * kEntryCount == kWordTableBytes);
    std::array<std::uint8_t, kWordTableBytes> bytes;
    for (std::size_t n = 0; n < kEntryCount; ++n) PutWordEntry(&bytes[kWordEntryBytes * n], ctx.wordTable[n]);
    return EmitSection(ctx, slot, bytes);
}

}  // namespace zlt
