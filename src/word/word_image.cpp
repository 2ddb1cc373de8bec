#include "word/word_image.h"

#include "base/message.h"
#include "base/progress.h"
#include "word/clip.h"
#include "word/word_table.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zlt {

namespace {

// Clip data moves through the transform in runs of this many blocks (1 MiB),
// one read and one write per run, so memory stays the same whatever the clip.
// A run as large as the image stream's buffer goes to the file mostly
// without being copied into that buffer.
constexpr std::size_t kRunBlocks = 2048;

// True when the clip's header still gives the word table's entry.
bool StillDescribes(const ClipFormat& clip, const WordEntry& entry) {
    WordEntry now;
    return EntryOf(clip, now) == WordFault::kNone &&
           now.format == (entry.format & kFormatFlagsMask) &&
           now.length == (entry.length & ~kUsedBit);
}

}  // namespace

ClipRunBuffers::ClipRunBuffers(std::size_t n)
    : blocks(std::max<std::size_t>(n, 1)),
      in(std::make_unique_for_overwrite<std::uint8_t[]>(blocks * kClipBlockSize)),
      out(std::make_unique_for_overwrite<std::uint8_t[]>(blocks * kClipBlockSize)) {}

bool CopyClip(LinkContext& ctx, const char* path, const WordEntry& entry, ClipRunBuffers& buffers) {
    ClipFile file;
    ClipHeader header{};
    const ClipFault opened = OpenClip(path, file, header);
    if (opened != ClipFault::kNone) return ReportClipFault(ctx.report, opened, {}, path, {});
    if (!CheckClipHeader(path, header)) return false;
    const ClipFormat clip = FormatOf(header);
    if (!StillDescribes(clip, entry) || !file.Seek(DataOffsetOf(header)))
        return ReportClipFault(ctx.report, ClipFault::kDataShort, clip, path, {});
    const std::uint64_t length = WordBytes(entry);
    const BlockTransform transform(*KeyOf(header), clip.bitsPerChannel);

    std::size_t blocksLeft = WordPages(entry);
    std::uint8_t* const in = buffers.in.get();
    std::uint8_t* const out = buffers.out.get();
    std::uint64_t copied = 0;
    while (blocksLeft > 0) {
        const std::size_t blocks = std::min(blocksLeft, buffers.blocks);
        const std::size_t want = blocks * kClipBlockSize;
        const std::size_t got = file.Read(in, want);
        copied += got;
        if (got < want) {
            // Only the last block may end early, and only after the data;
            // what it lacks of 512 bytes is not clip data and reads as zero.
            if (copied < length) return ReportClipFault(ctx.report, ClipFault::kDataShort, clip, path, {});
            std::memset(in + got, 0, want - got);
        }
        transform.Apply(in, out, blocks);
        if (!ctx.image.Write(out, want)) {
            LnkPrintf("\nErr: Can not write to file %s", ctx.imagePath.c_str());
            return false;
        }
        blocksLeft -= blocks;
        ctx.wordImagePagesWritten += static_cast<std::uint32_t>(blocks);
        ReportPageProgress(ctx.wordImagePagesWritten, ctx.wordImagePages);
    }
    return true;
}

bool CheckWordImage(LinkContext& ctx) {
    for (unsigned n = 0; n < kEntryCount; ++n) {
        if (!IsUsed(ctx.wordTable[n]) || !ctx.clipDataShort[n]) continue;
        const std::string key = WordKey(n);
        const std::string path = ctx.reader->ReadString("ZLP.Word", key, "");
        ClipFormat clip;
        clip.dataLength = WordBytes(ctx.wordTable[n]);
        ReportClipFault(ctx.report, ClipFault::kDataShort, clip, path.c_str(),
                        {key, WordValueSpan(ctx, key)});
    }
    return true;
}

bool WriteWordImageSection(LinkContext& ctx, DirSlot& slot) {
    ctx.wordImagePagesWritten = 0;
    ReportPageProgress(0, ctx.wordImagePages);
    // Runs as long as the longest word needs, up to kRunBlocks.
    std::size_t runBlocks = 0;
    for (const WordEntry& entry : ctx.wordTable)
        if (IsUsed(entry)) runBlocks = std::max<std::size_t>(runBlocks, WordPages(entry));
    ClipRunBuffers buffers(std::min(runBlocks, kRunBlocks));
    for (unsigned n = 0; n < kEntryCount; ++n) {
        const WordEntry& entry = ctx.wordTable[n];
        if (!IsUsed(entry)) continue;
        const std::string path = ctx.reader->ReadString("ZLP.Word", WordKey(n), "");
        LnkPrintf("\n        W%0.4d,PageSize=%0.6d,Filename=%s", static_cast<int>(n),
                  static_cast<int>(WordPages(entry)), path.c_str());
        if (!CopyClip(ctx, path.c_str(), entry, buffers)) return false;
    }
    slot.pageCount = ctx.wordImagePages;
    slot.byteLength = ctx.wordImagePages * kPageSize;
    return true;
}

}  // namespace zlt
