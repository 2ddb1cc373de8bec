#include "zlt900-snx/encode.h"

#include "word/clip_writer.h"
#include "word/word_table.h"
#include "zlt900-snx/audio_source.h"
#include "zlt900-snx/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zlt::snx {

namespace {

constexpr std::size_t kReadFrames = 65536;
constexpr std::size_t kLengthUnit = kLengthUnitBytes;
// The longest clip data the word table holds, in whole length units.
constexpr std::uint64_t kMaxDataBytes = kMaxClipBytes / kLengthUnit * kLengthUnit;

// A uniform value in [0, 1) from the top 24 bits of the generator, so that a
// seed gives the same dither with every standard library.
float Uniform(ClipRandom& random) { return static_cast<float>(random() >> 40) * 0x1p-24f; }

std::uint8_t RandomByte(ClipRandom& random) { return static_cast<std::uint8_t>(random() >> 56); }

// Key bytes and key indexes inside the key area.
ClipFields RandomKeyFields(ClipRandom& random) {
    ClipFields f;
    for (std::uint8_t& b : f.keyArea) b = RandomByte(random);
    f.keyIndexA = static_cast<std::uint8_t>((random() >> 32) % f.keyArea.size());
    f.keyIndexB = static_cast<std::uint8_t>((random() >> 32) % f.keyArea.size());
    return f;
}

std::string TooLong(std::uint64_t bytes, unsigned rate, unsigned bits) {
    const double minutes = double(kMaxDataBytes) / (bits / 8) / rate / 60;
    char text[200];
    std::snprintf(text, sizeof text,
                  "too long for a clip: %llu bytes of %u-bit samples at %u Hz, while a clip holds at "
                  "most %llu (%.1f minutes at this rate and width)",
                  static_cast<unsigned long long>(bytes), bits, rate,
                  static_cast<unsigned long long>(kMaxDataBytes), minutes);
    return text;
}

}  // namespace

bool IsClipRate(std::uint64_t rate) {
    return std::any_of(std::begin(kRateCodes), std::end(kRateCodes), [&](const RateCode& r) { return r.hz == rate; });
}

unsigned DefaultClipRate(unsigned sourceRate) {
    for (const RateCode& r : kRateCodes)
        if (r.hz >= sourceRate) return r.hz;
    return std::rbegin(kRateCodes)->hz;
}

std::string ClipRatesText() {
    std::string text;
    const std::size_t n = std::size(kRateCodes);
    for (std::size_t i = 0; i < n; ++i)
        text += (i == 0 ? "" : i + 1 == n ? " or " : ", ") + std::to_string(kRateCodes[i].hz);
    return text;
}

ClipRandom MakeClipRandom(const std::optional<std::uint64_t>& seed) {
    if (seed) return ClipRandom(*seed);
    std::random_device device;
    std::seed_seq fresh{device(), device(), device(), device(), device(), device(), device(), device()};
    return ClipRandom(fresh);
}

void Quantizer::Add(std::span<const float> samples) {
    const float scale = bits_ == 8 ? 128.0f : 32768.0f;
    const long low = -static_cast<long>(scale), high = static_cast<long>(scale) - 1;
    for (float x : samples) {
        float v = x * scale;
        if (dither_) v += Uniform(random_) - Uniform(random_);
        long q = std::lround(v);
        if (q < low || q > high) {
            ++clipped_;
            q = std::clamp(q, low, high);
        }
        if (bits_ == 8)
            samples8_.push_back(static_cast<std::uint8_t>(q + 128));
        else
            samples16_.push_back(static_cast<std::int16_t>(q));
    }
}

void Quantizer::PadToUnit() {
    if (bits_ == 8)
        samples8_.resize((samples8_.size() + kLengthUnit - 1) / kLengthUnit * kLengthUnit, 128);
    else
        samples16_.resize((samples16_.size() + kLengthUnit / 2 - 1) / (kLengthUnit / 2) * (kLengthUnit / 2), 0);
}

std::optional<EncodedClip> EncodeFile(const std::string& path, const EncodeOptions& options, std::string& error) {
    AudioSource source;
    if (!source.Open(path, error)) return std::nullopt;
    EncodedClip clip;
    clip.sourceRate = source.rate();
    clip.sourceChannels = source.channels();
    clip.rate = options.rate != 0 ? options.rate : DefaultClipRate(source.rate());
    clip.bits = options.bits;
    const unsigned bytesPerSample = clip.bits / 8;
    if (source.frames() == 0) {
        error = "holds no audio";
        return std::nullopt;
    }
    // Refuse what cannot fit before reading any of it.
    const double expected = std::ceil(double(source.frames()) * clip.rate / source.rate()) * bytesPerSample;
    if (expected > double(kMaxDataBytes)) {
        error = TooLong(static_cast<std::uint64_t>(expected), clip.rate, clip.bits);
        return std::nullopt;
    }

    ClipRandom random = MakeClipRandom(options.seed);
    ClipFields fields = RandomKeyFields(random);
    fields.sampleRate = clip.rate;
    clip.dithered = clip.bits < source.sourceBits();
    Quantizer quantizer(clip.bits, clip.dithered, random);
    Resampler resampler;
    if (!resampler.Start(source.rate(), clip.rate, error)) return std::nullopt;

    std::vector<float> in(kReadFrames), out;
    for (;;) {
        const std::size_t n = source.ReadMono(in, error);
        if (!error.empty()) {
            error = "cannot read the audio: " + error;
            return std::nullopt;
        }
        out.clear();
        const bool ok = n > 0 ? resampler.Process(std::span(in).first(n), out, error) : resampler.Finish(out, error);
        if (!ok) return std::nullopt;
        quantizer.Add(out);
        if (quantizer.size() * bytesPerSample > kMaxDataBytes) {
            error = TooLong(quantizer.size() * bytesPerSample, clip.rate, clip.bits);
            return std::nullopt;
        }
        if (n == 0) break;
    }
    clip.samples = quantizer.size();
    clip.clipped = quantizer.clipped();
    if (clip.samples == 0) {
        error = "holds no audio";
        return std::nullopt;
    }
    quantizer.PadToUnit();
    if (quantizer.size() * bytesPerSample > kMaxDataBytes) {
        error = TooLong(quantizer.size() * bytesPerSample, clip.rate, clip.bits);
        return std::nullopt;
    }
    clip.bytes = clip.bits == 8 ? MakeClip8(fields, quantizer.samples8()) : MakeClip16(fields, quantizer.samples16());
    return clip;
}

}  // namespace zlt::snx
