// Sample-rate conversion of one channel with soxr at its high quality
// setting, fed block by block. Equal rates pass the samples through.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace zlt::snx {

class Resampler {
public:
    Resampler() = default;
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;
    ~Resampler();

    bool Start(unsigned inRate, unsigned outRate, std::string& error);

    // Appends the output that `in` gives to out; Finish appends what the
    // resampler still holds once the input has ended.
    bool Process(std::span<const float> in, std::vector<float>& out, std::string& error);
    bool Finish(std::vector<float>& out, std::string& error);

private:
    void* soxr_ = nullptr;  // soxr_t; none when the rates are equal
    double ratio_ = 1;
};

}  // namespace zlt::snx
