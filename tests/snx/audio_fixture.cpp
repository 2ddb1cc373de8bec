#include "snx/audio_fixture.h"

#include <sndfile.h>

#include <stdexcept>

namespace zlt::test {

void WriteTone(const std::string& path, int format, unsigned rate, unsigned channels, std::size_t frames,
               double amplitude) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = static_cast<int>(channels);
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < frames; ++i)
        interleaved.insert(interleaved.end(), channels, float(Tone(double(i) / rate, amplitude)));
    const bool ok = sf_writef_float(f, interleaved.data(), sf_count_t(frames)) == sf_count_t(frames);
    sf_close(f);
    if (!ok) throw std::runtime_error("short write to " + path);
}

std::vector<float> ReadMono(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) throw std::runtime_error("cannot read " + path);
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    if (info.channels != 1) throw std::runtime_error(path + " has more than one channel");
    return samples;
}

}  // namespace zlt::test
