// zlt900-tone: writes a Sonorium clip of a sine tone, for demo projects and
// for trying the linker without recorded audio.
#include "word/clip_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Tone {
    unsigned bits = 16;
    unsigned rate = 16000;
    double freq = 440;
    unsigned ms = 250;
    unsigned seed = 1;  // chooses the clip's key bytes
};

int Usage() {
    std::fputs(
        "Usage: zlt900-tone [--bits 8|16] [--rate HZ] [--freq HZ] [--ms N] [--seed N] OUTPUT\n"
        "Write a one-channel Sonorium clip of a sine tone (default 16 bits, 16000 Hz,\n"
        "440 Hz, 250 ms) with fade-in and fade-out; --seed picks its key bytes.\n",
        stderr);
    return 2;
}

bool Number(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && out >= 0 && out <= 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    Tone t;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        double v = 0;
        if (opt.rfind("--", 0) == 0) {
            if (i + 1 >= argc || !Number(argv[i + 1], v)) return Usage();
            ++i;
            if (opt == "--bits") t.bits = static_cast<unsigned>(v);
            else if (opt == "--rate") t.rate = static_cast<unsigned>(v);
            else if (opt == "--freq") t.freq = v;
            else if (opt == "--ms") t.ms = static_cast<unsigned>(v);
            else if (opt == "--seed") t.seed = static_cast<unsigned>(v);
            else return Usage();
        } else if (output == nullptr) {
            output = argv[i];
        } else {
            return Usage();
        }
    }
    if (output == nullptr || (t.bits != 8 && t.bits != 16) || t.rate == 0) return Usage();

    zlt::ClipFields f;
    f.sampleRate = t.rate;
    f.keyIndexA = static_cast<std::uint8_t>(t.seed % 62);
    f.keyIndexB = static_cast<std::uint8_t>(t.seed * 7 % 62);
    for (std::size_t i = 0; i < f.keyArea.size(); ++i)
        f.keyArea[i] = static_cast<std::uint8_t>((i + 1) * (t.seed * 2 + 1) * 73);

    const std::size_t count = static_cast<std::size_t>(t.rate) * t.ms / 1000;
    const std::size_t fade = std::max<std::size_t>(1, std::min<std::size_t>(count / 4, t.rate / 100));
    std::vector<double> wave(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double edge = std::min({1.0, double(i) / fade, double(count - 1 - i) / fade});
        wave[i] = 0.7 * edge * std::sin(2 * std::numbers::pi * t.freq * double(i) / t.rate);
    }
    std::vector<std::uint8_t> clip;
    if (t.bits == 8) {
        std::vector<std::uint8_t> s(count);
        for (std::size_t i = 0; i < count; ++i) s[i] = static_cast<std::uint8_t>(std::lround(128 + 127 * wave[i]));
        clip = zlt::MakeClip8(f, s);
    } else {
        std::vector<std::int16_t> s(count);
        for (std::size_t i = 0; i < count; ++i) s[i] = static_cast<std::int16_t>(std::lround(32767 * wave[i]));
        clip = zlt::MakeClip16(f, s);
    }
    if (!zlt::WriteClipFile(output, clip)) {
        std::fprintf(stderr, "zlt900-tone: cannot write %s\n", output);
        return 1;
    }
    return 0;
}
