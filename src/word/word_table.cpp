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

bool ParseWordTable(LinkContext& ctx) {
    for (unsigned n = 0; n < kEntryCount; ++n) {
        const std::string path = ctx.reader->ReadString("ZLP.Word", WordKey(n), "");
        if (path.empty()) continue;
        const char* p = path.c_str();
        if (!ClipAccessible(p)) {
            if (IsForeignDrivePath(path))
                LnkPrintf("\nErr: Can not access file %s (a Windows drive path: name the clip "
                          "relative to the folder the link runs in)", p);
            else
                LnkPrintf("\nErr: Can not access file %s", p);
            return false;
        }
        if (ctx.image.Overwrites(path)) {
            LnkPrintf("\nErr: Image file %s is the clip of W%0.4d of file %s", ctx.imagePath.c_str(),
                      static_cast<int>(n), ctx.projectPath.c_str());
            return false;
        }
        ClipFormat clip;
        if (!ReadClipHeader(p, clip)) return false;
        switch (EntryOf(clip, ctx.wordTable[n])) {
        case WordFault::kNone:
            break;
        case WordFault::kChannels:
            LnkPrintf("\nErr: ZLT unsupported SNX-Channels(%d) of file %s", int{clip.channels}, p);
            return false;
        case WordFault::kBitsPerChannel:
            LnkPrintf("\nErr: ZLT unsupported SNX-BitsPerChannel(%d) of file %s",
                      int{clip.bitsPerChannel}, p);
            return false;
        case WordFault::kSampleRate:
            LnkPrintf("\nErr: ZLT unsupported SNX-SampleRate (%dHz) of file %s",
                      static_cast<int>(clip.sampleRate), p);
            return false;
        case WordFault::kDataLength:
            // LengthUnits would lose the high bits of the length.
            LnkPrintf("\nErr: ZLT unsupported SNX-DataLength(%u) of file %s", clip.dataLength, p);
            return false;
        }
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
            LnkPrintf("\nErr: ZLT_WIMG.BIN exceeds %u pages at W%0.4d of file %s",
                      kWordImagePageLimit - 1, static_cast<int>(n), ctx.projectPath.c_str());
            return false;
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
