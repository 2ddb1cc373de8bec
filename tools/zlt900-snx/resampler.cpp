#include "zlt900-snx/resampler.h"

#include <soxr.h>

#include <cmath>

namespace zlt::snx {

namespace {
soxr_t Handle(void* p) { return static_cast<soxr_t>(p); }
}  // namespace

Resampler::~Resampler() {
    if (soxr_ != nullptr) soxr_delete(Handle(soxr_));
}

bool Resampler::Start(unsigned inRate, unsigned outRate, std::string& error) {
    if (inRate == outRate) return true;
    ratio_ = double(outRate) / inRate;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t e = nullptr;
    soxr_ = soxr_create(inRate, outRate, 1, &e, &io, &quality, nullptr);
    if (soxr_ == nullptr || e != nullptr) {
        error = std::string("cannot start the resampler: ") + (e != nullptr ? e : "unknown error");
        return false;
    }
    return true;
}

bool Resampler::Process(std::span<const float> in, std::vector<float>& out, std::string& error) {
    if (soxr_ == nullptr) {
        out.insert(out.end(), in.begin(), in.end());
        return true;
    }
    while (!in.empty()) {
        const std::size_t room = static_cast<std::size_t>(std::ceil(double(in.size()) * ratio_)) + 64;
        const std::size_t at = out.size();
        out.resize(at + room);
        std::size_t used = 0, made = 0;
        soxr_error_t e = soxr_process(Handle(soxr_), in.data(), in.size(), &used, out.data() + at, room, &made);
        out.resize(at + made);
        if (e != nullptr) {
            error = std::string("resampling failed: ") + e;
            return false;
        }
        if (used == 0 && made == 0) {
            error = "resampling failed: the resampler takes no more input";
            return false;
        }
        in = in.subspan(used);
    }
    return true;
}

bool Resampler::Finish(std::vector<float>& out, std::string& error) {
    if (soxr_ == nullptr) return true;
    constexpr std::size_t kRoom = 4096;
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + kRoom);
        std::size_t made = 0;
        soxr_error_t e = soxr_process(Handle(soxr_), nullptr, 0, nullptr, out.data() + at, kRoom, &made);
        out.resize(at + made);
        if (e != nullptr) {
            error = std::string("resampling failed: ") + e;
            return false;
        }
        if (made == 0) return true;
    }
}

}  // namespace zlt::snx
