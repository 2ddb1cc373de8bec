// Audio files for the clip encoder's tests, written and read with libsndfile.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <string>
#include <vector>

namespace zlt::test {

// The test tone at t seconds: a 440 Hz sine, at half of full scale unless told.
inline double Tone(double t, double amplitude = 0.5) { return amplitude * std::sin(2 * std::numbers::pi * 440 * t); }

// Writes `frames` of the tone at `rate`, the same in every channel, in a
// libsndfile format (major type | subtype).
void WriteTone(const std::string& path, int format, unsigned rate, unsigned channels, std::size_t frames,
               double amplitude);

// The samples of a one-channel file as libsndfile reads them.
std::vector<float> ReadMono(const std::string& path);

}  // namespace zlt::test
