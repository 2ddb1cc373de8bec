// Audio files for the clip encoder's tests, written with libsndfile, and the
// encoder run as a command.
#pragma once

#include "support/command.h"
#include "support/link_fixture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zlt::test {

// A sine of the given frequency and amplitude, the same in every channel.
std::vector<float> Sine(double freq, double amplitude, unsigned rate, std::size_t frames, unsigned channels = 1);

// Writes interleaved frames in a libsndfile format (major type | subtype).
void WriteAudio(const std::string& path, int format, unsigned rate, unsigned channels,
                const std::vector<float>& interleaved);

// The audio of a file as libsndfile reads it, mixed down to one channel.
std::vector<float> ReadAudio(const std::string& path);

// Runs zlt900-snx with the given arguments.
CommandResult RunSnx(const std::string& args);

}  // namespace zlt::test
