#include "player/render.h"

#include "zlt900-snx/resampler.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace zlt::player {

namespace {

constexpr unsigned kRateWithoutWords = 8000;
constexpr float kFullScale = 32768.0f;

// The word's samples from the word image, as 16-bit values.
std::vector<std::int16_t> WordSamples16(const Player& player, const WordInfo& word) {
    const std::vector<std::uint8_t> bytes = WordSamples(player.file(), player.image(), word);
    std::vector<std::int16_t> samples;
    if (word.bits == 8) {
        for (std::uint8_t s : bytes) samples.push_back(static_cast<std::int16_t>((s - 128) * 256));
    } else {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    return samples;
}

bool Resample(std::vector<std::int16_t>& samples, unsigned from, unsigned to, std::string& error) {
    snx::Resampler resampler;
    std::vector<float> in(samples.size()), out;
    std::transform(samples.begin(), samples.end(), in.begin(), [](std::int16_t s) { return s / kFullScale; });
    if (!resampler.Start(from, to, error) || !resampler.Process(in, out, error) || !resampler.Finish(out, error))
        return false;
    samples.resize(out.size());
    std::transform(out.begin(), out.end(), samples.begin(), [](float x) {
        return static_cast<std::int16_t>(std::clamp(std::lround(x * kFullScale), -32768L, 32767L));
    });
    return true;
}

// libsndfile's virtual I/O over a growing byte vector.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    sf_count_t at = 0;
};

MemoryFile& Of(void* user) { return *static_cast<MemoryFile*>(user); }

SF_VIRTUAL_IO MemoryIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<sf_count_t>(Of(user).bytes.size()); };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        MemoryFile& f = Of(user);
        const sf_count_t base = whence == SEEK_CUR ? f.at : whence == SEEK_END ? sf_count_t(f.bytes.size()) : 0;
        if (base + offset >= 0) f.at = base + offset;
        return f.at;
    };
    io.read = [](void* data, sf_count_t count, void* user) {
        MemoryFile& f = Of(user);
        const sf_count_t n = std::clamp<sf_count_t>(sf_count_t(f.bytes.size()) - f.at, 0, count);
        if (n > 0) std::memcpy(data, f.bytes.data() + f.at, static_cast<std::size_t>(n));
        f.at += n;
        return n;
    };
    io.write = [](const void* data, sf_count_t count, void* user) {
        MemoryFile& f = Of(user);
        const auto end = static_cast<std::size_t>(f.at + count);
        if (f.bytes.size() < end) f.bytes.resize(end);
        std::memcpy(f.bytes.data() + f.at, data, static_cast<std::size_t>(count));
        f.at += count;
        return count;
    };
    io.tell = [](void* user) { return Of(user).at; };
    return io;
}

}  // namespace

unsigned DefaultRate(const Player& player, const RunResult& run) {
    unsigned rate = 0;
    for (const Sound& s : run.sounds)
        if (s.word) rate = std::max(rate, player.Word(*s.word)->sampleRate);
    return rate != 0 ? rate : kRateWithoutWords;
}

bool Render(const Player& player, unsigned start, const PlayOptions& options, Rendering& out, std::string& error) {
    static_cast<RunResult&>(out) = player.Execute(start, options);
    out.rate = options.rate != 0 ? options.rate : DefaultRate(player, out);
    out.samples.clear();
    std::map<unsigned, std::vector<std::int16_t>> words;  // at the output rate, each decoded once
    for (const Sound& s : out.sounds) {
        if (!s.word) {
            const std::int64_t silence = (s.lengthUs * out.rate + 500000) / 1000000;
            out.samples.resize(out.samples.size() + static_cast<std::size_t>(silence));
            continue;
        }
        auto [it, added] = words.try_emplace(*s.word);
        if (added) {
            const WordInfo& w = *player.Word(*s.word);
            it->second = WordSamples16(player, w);
            if (w.sampleRate != out.rate && !Resample(it->second, w.sampleRate, out.rate, error)) return false;
        }
        out.samples.insert(out.samples.end(), it->second.begin(), it->second.end());
    }
    return true;
}

std::optional<std::vector<std::uint8_t>> WavFileBytes(std::span<const std::int16_t> samples, unsigned rate,
                                                      std::string& error) {
    MemoryFile file;
    SF_VIRTUAL_IO io = MemoryIo();
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* wav = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (wav == nullptr) {
        error = std::string("cannot make a WAV file: ") + sf_strerror(nullptr);
        return std::nullopt;
    }
    const sf_count_t written = sf_write_short(wav, samples.data(), static_cast<sf_count_t>(samples.size()));
    const bool closed = sf_close(wav) == 0;
    if (written != static_cast<sf_count_t>(samples.size()) || !closed) {
        error = "cannot make a WAV file: libsndfile wrote less than asked";
        return std::nullopt;
    }
    return std::move(file.bytes);
}

}  // namespace zlt::player
