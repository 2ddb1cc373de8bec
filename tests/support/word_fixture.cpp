#include "support/word_fixture.h"

#include "project/ini_file.h"
#include "word/word_image.h"
#include "word/word_table.h"

namespace zlt::test {

std::unique_ptr<LinkContext> StageContext(const std::string& ini, const std::string& projectPath) {
    auto ctx = std::make_unique<LinkContext>();
    ctx->ClearTables();
    ctx->projectPath = projectPath;
    ctx->reader = IniFile::Parse(ini);
    return ctx;
}

std::unique_ptr<LinkContext> ProjectContext(const TempDir& dir, const std::string& extra) {
    auto ctx = StageContext(MinimalProject(extra), dir / "project.zlp");
    ctx->imagePath = dir / "words.bin";
    return ctx;
}

std::optional<std::string> WriteWordImageAlone(LinkContext& ctx, const std::vector<unsigned>& used,
                                               DirSlot* slot) {
    for (unsigned n : used) {
        if (!UseWord(ctx, n)) return std::nullopt;
    }
    DirSlot own;
    if (slot == nullptr) slot = &own;
    if (!PlaceWords(ctx) || !ctx.image.Open(ctx.imagePath) || !WriteWordImageSection(ctx, *slot) ||
        !ctx.image.Commit()) {
        ctx.image.Discard();
        return std::nullopt;
    }
    return ReadFile(ctx.imagePath);
}

std::vector<std::uint8_t> RandomClip(std::mt19937& rng, ClipFields f, unsigned bits, std::size_t count,
                                     std::vector<std::int16_t>& samples) {
    for (auto& b : f.keyArea) b = static_cast<std::uint8_t>(rng());
    f.keyIndexA = static_cast<std::uint8_t>(rng() % (kMaxKeyIndex + 1));
    f.keyIndexB = static_cast<std::uint8_t>(rng() % (kMaxKeyIndex + 1));
    samples.resize(count);
    if (bits == 8) {
        std::vector<std::uint8_t> pcm(count);
        for (std::size_t i = 0; i < count; ++i) {
            pcm[i] = static_cast<std::uint8_t>(rng());
            samples[i] = pcm[i];
        }
        return MakeClip8(f, pcm);
    }
    for (auto& s : samples) s = static_cast<std::int16_t>(rng());
    return MakeClip16(f, samples);
}

std::string Bytes(std::span<const std::uint8_t> b) { return {b.begin(), b.end()}; }
std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace zlt::test
