#include "zlt900-snx/audio_source.h"

#include <sndfile.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace zlt::snx {

namespace {

SNDFILE* Handle(void* p) { return static_cast<SNDFILE*>(p); }

unsigned BitsOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_DPCM_8:
        return 8;
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_DPCM_16:
    case SF_FORMAT_DWVW_12:
    case SF_FORMAT_DWVW_16:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
    case SF_FORMAT_GSM610:
    case SF_FORMAT_G721_32:
    case SF_FORMAT_G723_24:
    case SF_FORMAT_G723_40:
    case SF_FORMAT_VOX_ADPCM:
    case SF_FORMAT_ALAC_16:
        return 16;
    default:
        return 32;
    }
}

}  // namespace

AudioSource::~AudioSource() {
    if (file_ != nullptr) sf_close(Handle(file_));
}

bool AudioSource::Open(const std::string& path, std::string& error) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) {
        error = std::string("not audio that libsndfile reads (") + sf_strerror(nullptr) + ")";
        return false;
    }
    file_ = f;
    if (info.channels < 1 || info.samplerate < 1) {
        error = "the file names no channels or no sample rate";
        return false;
    }
    // libsndfile scales integer samples by 1/2^(bits-1) into floats, so an
    // 8-bit or 16-bit source comes back to the same integers unchanged.
    rate_ = static_cast<unsigned>(info.samplerate);
    channels_ = static_cast<unsigned>(info.channels);
    frames_ = info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
    sourceBits_ = BitsOf(info.format);
    return true;
}

std::size_t AudioSource::ReadMono(std::span<float> out, std::string& error) {
    if (channels_ == 1) {
        const sf_count_t n = sf_readf_float(Handle(file_), out.data(), static_cast<sf_count_t>(out.size()));
        if (sf_error(Handle(file_)) != SF_ERR_NO_ERROR) error = sf_strerror(Handle(file_));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    interleaved_.resize(out.size() * channels_);
    const sf_count_t got = sf_readf_float(Handle(file_), interleaved_.data(), static_cast<sf_count_t>(out.size()));
    if (sf_error(Handle(file_)) != SF_ERR_NO_ERROR) error = sf_strerror(Handle(file_));
    const std::size_t n = got > 0 ? static_cast<std::size_t>(got) : 0;
    for (std::size_t i = 0; i < n; ++i) {
        float sum = 0;
        for (unsigned c = 0; c < channels_; ++c) sum += interleaved_[i * channels_ + c];
        out[i] = sum / static_cast<float>(channels_);
    }
    return n;
}

}  // namespace zlt::snx
