#include "inspect/image_model.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/image.h"
#include "options/option_table.h"
#include "target/firmware.h"
#include "target/firmware_images.h"
#include "trigger/clock_condition.h"
#include "trigger/key_table.h"
#include "trigger/trigger_table.h"
#include "word/word_table.h"

#include <cstring>

namespace zlt::inspect {

namespace {

const std::uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

bool CheckContainer(const std::string& data, Image& image, std::string& error) {
    const std::optional<ImageHeader> header = ParseImageHeader(AsBytes(data), error);
    if (!header) return false;
    for (const SectionKind& kind : kSectionKinds) {
        const DirSlot& slot = header->Slot(kind.type);
        SectionView& v = image.sections[kind.type];
        v.type = slot.type;
        v.firstPage = slot.firstPage;
        v.pageCount = slot.pageCount;
        v.byteLength = slot.byteLength;
        v.bytes = std::string_view(data).substr(512ull * v.firstPage, v.byteLength);
    }
    return true;
}

void DecodeFirmware(Image& image) {
    const std::string_view fw = image.sections[2].bytes;
    for (unsigned id = 4097; id <= 4111; ++id) {
        auto carried = FindFirmwareImage(id);
        if (!carried.empty() && carried.size() == fw.size() &&
            std::memcmp(carried.data(), fw.data(), fw.size()) == 0) {
            image.firmwareId = id;
            image.triggerMode = kTriggerModeNames[id - 4097];
            return;
        }
    }
}

bool DecodeKeyTable(Image& image, std::string& error) {
    const std::uint8_t* kt = Bytes(image.sections[3].bytes);
    if (std::memcmp(kt, "NVK", 4) != 0) return Fail(error, "key table: wrong magic number");
    image.modelId.assign(reinterpret_cast<const char*>(kt + 4), strnlen(reinterpret_cast<const char*>(kt + 4), 8));
    unsigned* stamp = &image.stamp.year;
    for (int i = 0; i < 8; ++i) stamp[i] = GetU16(kt + key_table::kLinkTime + 2 * i);
    for (const OptionField& f : OptionFields()) image.options.push_back({f.section, f.key, OptionValueText(f, KeyTableView(kt, kKeyTableBytes))});

    const std::uint8_t* tt = Bytes(image.sections[4].bytes);
    for (unsigned t = 0; t < 8192; ++t) {
        const std::uint8_t attribute = kt[AttributeOffset(t)];
        const std::uint16_t start = GetU16(tt + 2 * t);
        const bool clock = t >= kFirstClockTrigger && t <= kLastClockTrigger;
        const std::uint32_t word = clock ? GetU32(kt + ClockSlotOffset(t)) : 0;
        if (attribute == 0 && start == 0 && word == 0) continue;
        if (!IsBoundAttribute(attribute) || start == 0)
            return Fail(error, FormatText("trigger %u: attribute byte 0x%02X and sentence unit %u do not "
                                          "describe a bound trigger", t, unsigned{attribute}, unsigned{start}));
        TriggerBinding b{t, "", start, std::nullopt};
        b.modes = ModeLetters(attribute);
        if (clock) {
            if (!ClockConditionText(word))
                return Fail(error, FormatText("clock trigger %u: condition word 0x%08X is not valid", t, word));
            b.clockWord = word;
        }
        image.triggers.push_back(b);
    }
    return true;
}

bool DecodeWords(Image& image, std::string& error) {
    const std::uint8_t* wt = Bytes(image.sections[6].bytes);
    std::uint32_t nextPage = 0;
    for (unsigned n = 0; n < 8192; ++n) {
        const std::uint32_t first = GetU32(wt + 8 * n), second = GetU32(wt + 8 * n + 4);
        if (second == 0) {
            if (first != 0) return Fail(error, FormatText("word %u: undefined but not zero", n));
            continue;
        }
        const std::optional<WordFormat> format = DecodeWordEntry({first, second});
        if (!format) return Fail(error, FormatText("word %u: unknown format 0x%08X 0x%08X", n, first, second));
        WordInfo w{};
        w.number = n;
        w.bits = format->bits;
        w.sampleRate = format->sampleRate;
        w.byteLength = format->byteLength;
        w.pages = format->pages;
        w.startPage = format->startPage;
        w.used = format->used;
        if (w.used) {
            if (w.startPage != nextPage)
                return Fail(error, FormatText("word %u starts at page %u, not %u", n, w.startPage, nextPage));
            nextPage += w.pages;
        } else if (w.startPage != 0) {
            return Fail(error, FormatText("unused word %u has start page %u", n, w.startPage));
        }
        image.words.push_back(w);
    }
    if (nextPage != image.sections[7].pageCount)
        return Fail(error, FormatText("used words take %u pages, the word image holds %u", nextPage,
                                      image.sections[7].pageCount));
    return true;
}

}  // namespace

std::optional<Image> ParseImage(std::string data, std::string& error) {
    Image image;
    image.data = std::move(data);
    if (!CheckContainer(image.data, image, error)) return std::nullopt;
    DecodeFirmware(image);
    if (!DecodeKeyTable(image, error)) return std::nullopt;
    const std::uint8_t* st = Bytes(image.sections[5].bytes);
    for (std::size_t k = 0; k < image.units.size(); ++k) image.units[k] = GetU16(st + 2 * k);
    if (!DecodeWords(image, error)) return std::nullopt;
    image.readme = std::string(image.sections[8].bytes);
    return image;
}

}  // namespace zlt::inspect
