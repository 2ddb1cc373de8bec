// The image reader and inspector on images from anywhere: ReadImage,
// ListSentences and everything the inspector derives from a read image, all
// in memory.
//
// The first input byte picks how the rest becomes an image:
//   0: the bytes are the image;
//   1: the bytes replace the code units of a sound base image, from unit 0;
//   2: the bytes are patches to the base image, each a region byte, a
//      16-bit offset into that region, a length byte and that many bytes.
#include "fuzz_support.h"
#include "inspect/recover.h"
#include "inspect/report.h"
#include "inspect/word_files.h"
#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"
#include "target/readme.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The golden image of the "blocks" project: words of both widths, unused
// words, code blocks and step references, triggers and clock triggers.
const std::string& BaseImage() {
    static const std::string image = zlt::fuzz::ReadFile(ZLT_SOURCE_DIR "/tests/golden/blocks.cfo");
    return image;
}

// Byte offset of a patch region in the base image: the header, or the first
// page of one of the seven sections.
std::size_t RegionStart(const std::string& image, unsigned region) {
    if (region == 0) return 0;
    const unsigned slot = 2 + (region - 1) % 7;
    return 512ull * zlt::GetU32(reinterpret_cast<const std::uint8_t*>(image.data()) + 16 * slot + 4);
}

std::string ImageFromInput(const std::uint8_t* data, std::size_t size) {
    const unsigned mode = *data++ % 3;
    --size;
    if (mode == 0) return std::string(reinterpret_cast<const char*>(data), size);
    std::string image = BaseImage();
    if (mode == 1) {
        std::memcpy(image.data() + RegionStart(image, 4), data, std::min<std::size_t>(size, 65536));
        return image;
    }
    while (size >= 4) {
        const unsigned region = data[0] % 9;
        const std::size_t offset = data[1] | data[2] << 8;
        const std::size_t length = std::min<std::size_t>(data[3], size - 4);
        data += 4;
        size -= 4;
        if (region == 8) {
            // Cut or lengthen the image instead.
            image.resize(offset % 2 ? image.size() - std::min(image.size(), offset) : image.size() + offset);
            continue;
        }
        const std::size_t at = RegionStart(image, region) + offset;
        if (at < image.size()) std::memcpy(image.data() + at, data, std::min(length, image.size() - at));
        data += length;
        size -= length;
    }
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    zlt::SetOutputCallback(zlt::fuzz::Discard);
    const std::string bytes = ImageFromInput(data, size);
    const std::span<const std::uint8_t> file = zlt::AsBytes(bytes);
    std::string error;
    const auto image = zlt::ReadImage(file, error);
    if (!image) return 0;
    std::vector<zlt::SentenceListing> sentences;
    if (!zlt::ListSentences(*image, sentences, error)) return 0;
    (void)zlt::inspect::TextReport(*image, sentences);
    (void)zlt::inspect::JsonReport(*image, sentences);
    for (const zlt::WordInfo& w : image->words) {
        (void)zlt::inspect::WavFile(w, zlt::WordSamples(file, *image, w));
        (void)zlt::inspect::RecoveredClip(file, *image, w);
    }
    (void)zlt::inspect::RecoverProject(*image, sentences, error);
    (void)zlt::ParseReadme(image->readme);
    (void)zlt::inspect::FixedLinkTime(image->linkTime);
    return 0;
}
