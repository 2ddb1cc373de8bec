// Where the clips go, and writing each so that no half-written clip is ever
// left at its name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zlt::snx {

// The clip path of each input. Without an output, each clip goes beside its
// input; an output naming a folder (an existing one, or any path ending in
// '/') takes every clip under its input's base name with the extension .snx;
// any other output is the clip file of a single input. Returns nothing with
// the reason in error for several inputs and an output that is no folder,
// for two inputs that would write the same clip, or for an output that is one
// of the inputs.
std::optional<std::vector<std::string>> PlanOutputs(const std::vector<std::string>& inputs, const char* output,
                                                    std::string& error);

// Writes the clip file completely or not at all (platform::WholeFile): a
// symbolic link keeps itself and its target is written, a device or a FIFO
// with a reader is written in place. On failure error holds the reason.
bool WriteWhole(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error);

}  // namespace zlt::snx
