#include "support/stage_fixture.h"

#include "project/ini_file.h"

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

}  // namespace zlt::test
