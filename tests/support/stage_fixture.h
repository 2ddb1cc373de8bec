// Helpers for tests that run link stages alone, without a whole link: a
// context holding a project, and the messages of a stage run on it.
#pragma once

#include "support/link_fixture.h"
#include "word/clip_writer.h"

#include <random>
#include <vector>

namespace zlt::test {

// A context with cleared tables whose reader holds `ini`, read as the
// project at projectPath.
std::unique_ptr<LinkContext> StageContext(const std::string& ini, const std::string& projectPath);

// A stage run on such a context, with the messages it sent.
struct StageRun {
    explicit StageRun(const std::string& ini, const std::string& projectPath = "p.zlp")
        : ctx(StageContext(ini, projectPath)) {}
    std::unique_ptr<LinkContext> ctx;
    MessageLog log;
    bool ok = false;
    std::string LastLine() const { return log.lines().empty() ? "" : log.lines().back(); }
};

// A context whose reader holds MinimalProject(extra), with the project and
// image paths set inside dir.
std::unique_ptr<LinkContext> ProjectContext(const TempDir& dir, const std::string& extra);

// A clip of the given fields with random 8- or 16-bit samples under random keys;
// `samples` receives what the word image must hold.
std::vector<std::uint8_t> RandomClip(std::mt19937& rng, ClipFields f, unsigned bits, std::size_t count,
                                     std::vector<std::int16_t>& samples);

}  // namespace zlt::test
