// The image reader and inspector on images from anywhere: ReadImage,
// ListSentences and everything the inspector derives from a read image, all
// in memory.
//
// The first input byte picks how the rest becomes an image:
//   0: the bytes are the image;
//   1: the bytes replace the code units of a sound base image, from unit 0;
//   2: the bytes are patches to the base image, each a region byte, a
//      16-bit offset into that region, a length byte and that many bytes.
// The base image is linked once per process from a project with words of
// both widths, sentences with blocks and step references, and triggers.
#include "fuzz_support.h"
#include "inspect/recover.h"
#include "inspect/report.h"
#include "inspect/word_files.h"
#include "base/bytes.h"
#include "base/message.h"
#include "link/pipeline.h"
#include "platform/clock.h"
#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"
#include "target/readme.h"
#include "word/clip_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string LinkBaseImage() {
    const std::string dir = zlt::fuzz::WorkFolder();
    std::vector<std::uint8_t> pcm8(1500);
    for (std::size_t i = 0; i < pcm8.size(); ++i) pcm8[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::int16_t> pcm16(700);
    for (std::size_t i = 0; i < pcm16.size(); ++i) pcm16[i] = static_cast<std::int16_t>(i * 331);
    zlt::ClipFields f;
    f.keyIndexA = 3;
    f.keyIndexB = 40;
    f.keyArea[3] = 0x5A;
    if (!zlt::WriteClipFile(dir + "/w8.snx", zlt::MakeClip8(f, pcm8)) ||
        !zlt::WriteClipFile(dir + "/w16.snx", zlt::MakeClip16(f, pcm16)))
        std::abort();
    const std::string project =
        "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n"
        "[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_PBIN_M2\nDescription=fuzz base\n"
        "[ZLP.Firmware]\nBUSY_Signal=3\n"
        "[ZLP.Word]\nW0001=" + dir + "/w8.snx\nW0002=" + dir + "/w16.snx\nW0003=" + dir + "/w8.snx\n"
        "[ZLP.Sentence]\n"
        "S0000=W1+M200+^MOV_R1_3+^DJNZ_R1_STEP1+^CALL_Tail+W2\n"
        "S0001=^BLK_Tail+^IOR_R2_HOUR+^CMP_R2_C+^JNC_STEP5+W1+^RET+^EOP\n"
        "S0002=^JMP_Tail\n"
        "[ZLP.Trigger]\nT0000=LUN + S0000\nT0001=EHI + S0002\nT7808=LUN + S0001 + MON~FRI/8~17:30\n";
    const std::string path = dir + "/base.zlp", image = dir + "/base.cfo";
    std::ofstream(path, std::ios::binary) << project;
    auto ctx = std::make_unique<zlt::LinkContext>();
    zlt::SetFixedLinkTime(0);
    if (!zlt::MakeZltCfo(*ctx, path.c_str(), image.c_str())) std::abort();
    std::ifstream in(image, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

const std::string& BaseImage() {
    static const std::string image = LinkBaseImage();
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
    const unsigned mode = data[0] % 3;
    ++data;
    --size;
    if (mode == 0) return std::string(reinterpret_cast<const char*>(data), size);
    std::string image = BaseImage();
    if (mode == 1) {
        const std::size_t units = RegionStart(image, 4);
        std::memcpy(image.data() + units, data, std::min<std::size_t>(size, 65536));
        return image;
    }
    while (size >= 4) {
        const unsigned region = data[0] % 9;
        const std::size_t offset = data[1] | data[2] << 8;
        std::size_t length = data[3];
        data += 4;
        size -= 4;
        length = std::min(length, size);
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
