// word_image_bench: drives the word stages over large clips, for timing the
// word image against a plain copy of the same files.
//
//   word_image_bench make DIR MIB     writes MIB MiB of clips into DIR/clips
//                                     and the project DIR/bench.zlp naming them
//   word_image_bench link PROJECT IMAGE
//                                     reads the word table, marks every word
//                                     used, places them and writes the word
//                                     image alone to IMAGE
//
// Sentences decide which words are used in a whole link; this driver marks
// all of them, so it runs the same stages on every clip.
#include "link/context.h"
#include "link/message.h"
#include "word/clip_writer.h"
#include "word/word_image.h"
#include "word/word_table.h"

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

int Make(const std::string& dir, std::size_t mib) {
    std::filesystem::create_directories(dir + "/clips");
    std::string project =
        "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\nTarget=ZELTA_900\n"
        "TG_Mode=TGM_SINGLE_M0\n[ZLP.Word]\n";
    std::vector<std::uint8_t> chunk(kMiB);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (unsigned n = 0; mib > 0; ++n) {
        const std::size_t size = std::min(mib, kClipMiB);
        mib -= size;
        zlt::ClipFields f;
        f.bitsPerChannel = n % 2 ? 8 : 16;
        f.sampleRate = 16000;
        f.keyIndexA = static_cast<std::uint8_t>(n);
        f.keyIndexB = static_cast<std::uint8_t>(n + 7);
        for (std::size_t i = 0; i < f.keyArea.size(); ++i) f.keyArea[i] = static_cast<std::uint8_t>(i * 37 + n);
        f.dataLength = static_cast<std::uint32_t>(size * kMiB);
        const std::string path = dir + "/clips/" + zlt::WordKey(n) + ".snx";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) return 1;
        const zlt::ClipHeader header = zlt::BuildClipHeader(f);
        bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
        for (std::size_t m = 0; m < size && ok; ++m) {
            for (std::size_t i = 0; i < chunk.size(); i += 8) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                for (int b = 0; b < 8; ++b) chunk[i + b] = static_cast<std::uint8_t>(state >> (8 * b));
            }
            ok = std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size();
        }
        if (std::fclose(out) != 0 || !ok) return 1;
        project += zlt::WordKey(n) + "=" + path + "\n";
    }
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
    if (mode == "make" && argc == 4) return Make(argv[2], std::strtoul(argv[3], nullptr, 10));
    if (mode == "link" && argc == 4) return Link(argv[2], argv[3]);
    std::fputs("usage: word_image_bench make DIR MIB | link PROJECT IMAGE\n", stderr);
    return 2;
}
