#include "snx/audio_fixture.h"

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace zlt::test {

std::vector<float> Sine(double freq, double amplitude, unsigned rate, std::size_t frames, unsigned channels) {
    std::vector<float> out(frames * channels);
    for (std::size_t i = 0; i < frames; ++i)
        for (unsigned c = 0; c < channels; ++c)
            out[i * channels + c] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * freq * double(i) / rate));
    return out;
}

void WriteAudio(const std::string& path, int format, unsigned rate, unsigned channels,
                const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = static_cast<int>(channels);
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / channels);
    const bool ok = sf_writef_float(f, interleaved.data(), frames) == frames;
    sf_close(f);
    if (!ok) throw std::runtime_error("short write to " + path);
}

std::vector<float> ReadAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) throw std::runtime_error("cannot read " + path);
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    std::vector<float> mono(static_cast<std::size_t>(info.frames));
    for (std::size_t i = 0; i < mono.size(); ++i) {
        float sum = 0;
        for (int c = 0; c < info.channels; ++c) sum += frames[i * static_cast<std::size_t>(info.channels) + static_cast<std::size_t>(c)];
        mono[i] = sum / static_cast<float>(info.channels);
    }
    return mono;
}

CommandResult RunSnx(const std::string& args) { return RunCommand(std::string(ZLT_SNX_TOOL) + " " + args); }

}  // namespace zlt::test
