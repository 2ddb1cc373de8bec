// Helpers for tests of the word stages: a context holding a project without
// a whole link, and the word image written on its own.
#pragma once

#include "support/link_fixture.h"
#include "word/clip_writer.h"

#include <optional>
#include <random>

namespace zlt::test {

// A context whose reader holds MinimalProject(extra), with the project and
// image paths set inside dir.
std::unique_ptr<LinkContext> ProjectContext(const TempDir& dir, const std::string& extra);

// Marks the words used, places them and writes the word image section alone
// into its own file; its bytes, or none when a stage failed.
std::optional<std::string> WriteWordImageAlone(LinkContext& ctx, const std::vector<unsigned>& used,
                                               DirSlot* slot = nullptr);

// A clip of the given fields with random 8- or 16-bit samples under random keys;
// `samples` receives what the word image must hold.
std::vector<std::uint8_t> RandomClip(std::mt19937& rng, ClipFields f, unsigned bits, std::size_t count,
                                     std::vector<std::int16_t>& samples);

std::string Bytes(std::span<const std::uint8_t> b);
std::span<const std::uint8_t> Bytes(const std::string& s);

}  // namespace zlt::test
