// word_image_bench: drives the word stages over large clips, for timing the
// word image against a plain copy of the same files.
//
//   word_image_bench make DIR MIB [WORDS]
//                                     writes MIB MiB of clips (in WORDS clips,
//                                     default one per 64 MiB) into DIR/clips and
//                                     the project DIR/bench.zlp naming them,
//                                     with sentences that play every word
//   word_image_bench link PROJECT IMAGE
//                                     reads the word table, marks every word
//                                     used, places them and writes the word
//                                     image alone to IMAGE
//
// Sentences decide which words are used in a whole link; the link driver
// marks all of them, so it runs the same stages on every clip.
#include "base/context.h"
#include "base/format.h"
#include "base/message.h"
#include "word/clip_writer.h"
#include "word/word_image.h"
#include "word/word_table.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMiB = 1 << 20;
constexpr std::size_t kClipMiB = 64;

// `words` clips (default: one per 64 MiB) sharing `mib` MiB, and a project
// naming them whose sentences play every word, 64 to a sentence, each
// sentence bound to a trigger: a whole link places and copies every clip.
int Make(const std::string& dir, std::size_t mib, std::size_t words) {
    if (words == 0) words = (mib + kClipMiB - 1) / kClipMiB;
    if (words == 0 || words > zlt::kEntryCount) return 2;
    std::filesystem::create_directories(dir + "/clips");
    std::string project =
        "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\nTarget=ZELTA_900\n"
        "TG_Mode=TGM_SINGLE_M0\n[ZLP.Word]\n";
    std::vector<std::uint8_t> chunk(kMiB);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    const std::uint64_t total = std::uint64_t{mib} * kMiB;
    for (unsigned n = 0; n < words; ++n) {
        // Clip n gets its share of the total, a multiple of 16 bytes.
        const std::uint64_t size = (total * (n + 1) / words - total * n / words) & ~std::uint64_t{15};
        zlt::ClipFields f;
        f.bitsPerChannel = n % 2 ? 8 : 16;
        f.sampleRate = 16000;
        f.keyIndexA = static_cast<std::uint8_t>(n % (zlt::kMaxKeyIndex + 1));
        f.keyIndexB = static_cast<std::uint8_t>((n + 7) % (zlt::kMaxKeyIndex + 1));
        for (std::size_t i = 0; i < f.keyArea.size(); ++i) f.keyArea[i] = static_cast<std::uint8_t>(i * 37 + n);
        f.dataLength = static_cast<std::uint32_t>(size);
        const std::string path = dir + "/clips/" + zlt::WordKey(n) + ".snx";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) return 1;
        const zlt::ClipHeader header = zlt::BuildClipHeader(f);
        bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
        for (std::uint64_t left = size; left > 0 && ok;) {
            for (std::size_t i = 0; i < chunk.size(); i += 8) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                for (int b = 0; b < 8; ++b) chunk[i + b] = static_cast<std::uint8_t>(state >> (8 * b));
            }
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
            ok = std::fwrite(chunk.data(), 1, n, out) == n;
            left -= n;
        }
        if (std::fclose(out) != 0 || !ok) return 1;
        project += zlt::WordKey(n) + "=" + path + "\n";
    }
    project += "[ZLP.Sentence]\n";
    const std::size_t sentences = (words + 63) / 64;
    for (std::size_t k = 0; k < sentences; ++k) {
        project += zlt::FormatText("S%0.4d=", static_cast<int>(k));
        for (std::size_t n = 64 * k; n < std::min(words, 64 * k + 64); ++n)
            project += (n == 64 * k ? "" : "+") + zlt::WordKey(static_cast<unsigned>(n));
        project += "\n";
    }
    project += "[ZLP.Trigger]\n";
    for (std::size_t k = 0; k < sentences; ++k)
        project += zlt::FormatText("T%0.4d=LUN + S%0.4d\n", static_cast<int>(k), static_cast<int>(k));
    std::FILE* out = std::fopen((dir + "/bench.zlp").c_str(), "w");
    if (out == nullptr) return 1;
    std::fputs(project.c_str(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}

double Since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

int Link(const char* project, const char* image) {
    auto ctx = std::make_unique<zlt::LinkContext>();
    ctx->ClearTables();
    ctx->projectPath = project;
    ctx->imagePath = image;
    ctx->reader = zlt::IniFile::Load(project);
    if (!ctx->reader) return 1;
    const auto start = std::chrono::steady_clock::now();
    if (!zlt::ParseWordTable(*ctx)) return 1;
    for (unsigned n = 0; n < zlt::kEntryCount; ++n) zlt::UseWord(*ctx, n);
    zlt::DirSlot slot;
    if (!zlt::PlaceWords(*ctx) || !ctx->image.Open(image) || !zlt::WriteWordImageSection(*ctx, slot))
        return 1;
    const double copy = Since(start);
    const auto commitStart = std::chrono::steady_clock::now();
    if (!ctx->image.Commit()) return 1;
    const double commit = Since(commitStart);
    std::fprintf(stderr, "pages %u copy %.3f commit %.3f\n", slot.pageCount, copy, commit);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && (argc == 4 || argc == 5))
        return Make(argv[2], std::strtoul(argv[3], nullptr, 10), argc == 5 ? std::strtoul(argv[4], nullptr, 10) : 0);
    if (mode == "link" && argc == 4) return Link(argv[2], argv[3]);
    std::fputs("usage: word_image_bench make DIR MIB [WORDS] | link PROJECT IMAGE\n", stderr);
    return 2;
}
