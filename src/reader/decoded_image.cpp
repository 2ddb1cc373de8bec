#include "reader/decoded_image.h"

#include "base/bytes.h"
#include "base/context.h"
#include "base/format.h"
#include "options/option_table.h"
#include "sentence/instructions.h"
#include "target/firmware.h"
#include "trigger/clock_condition.h"
#include "trigger/key_table.h"
#include "trigger/trigger_table.h"
#include "word/clip_writer.h"

#include <algorithm>

namespace zlt {

namespace {

bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

// The bytes of section t of a file whose header parsed.
std::span<const std::uint8_t> Section(std::span<const std::uint8_t> file, const DecodedImage& image,
                                      SectionType t) {
    return SectionBytes(file, image.header.Slot(t));
}

bool DecodeKeyAndTriggerTables(KeyTableView kt, std::span<const std::uint8_t> tt, DecodedImage& image,
                               std::string& error) {
    if (!HasKeyTableMagic(kt)) return Fail(error, "key table: wrong magic number");
    image.modelId = ModelIdOf(kt);
    image.linkTime = LinkTimeOf(kt);
    for (const OptionField& f : OptionFields()) image.options.push_back({f.section, f.key, OptionValueText(f, kt)});

    for (unsigned t = 0; t < kEntryCount; ++t) {
        const std::uint8_t attribute = kt[AttributeOffset(t)];
        const std::uint16_t start = GetU16(&tt[2 * t]);
        const std::uint32_t word = IsClockTrigger(t) ? GetU32(&kt[ClockSlotOffset(t)]) : 0;
        if (attribute == 0 && start == 0 && word == 0) continue;
        if (!IsBoundAttribute(attribute) || start == 0)
            return Fail(error, FormatText("trigger %u: attribute byte 0x%02X and sentence unit %u do not "
                                          "describe a bound trigger", t, unsigned{attribute}, unsigned{start}));
        TriggerBinding b{t, ModeLetters(attribute), start, std::nullopt};
        if (IsClockTrigger(t)) {
            if (!ClockConditionText(word))
                return Fail(error, FormatText("clock trigger %u: condition word 0x%08X is not valid", t, word));
            b.clockWord = word;
        }
        image.triggers.push_back(b);
    }
    return true;
}

// Used words lie back to back from the first page of the word image, in
// number order, and fill it.
bool DecodeWordTable(std::span<const std::uint8_t> wt, DecodedImage& image, std::string& error) {
    std::uint32_t nextPage = 0;
    for (unsigned n = 0; n < kEntryCount; ++n) {
        const WordEntry e = GetWordEntry(&wt[kWordEntryBytes * n]);
        if (!IsDefined(e)) {
            if (e.format != 0) return Fail(error, FormatText("word %u: undefined but not zero", n));
            continue;
        }
        const std::optional<WordFormat> format = DecodeWordEntry(e);
        if (!format)
            return Fail(error, FormatText("word %u: unknown format 0x%08X 0x%08X", n, e.format, e.length));
        if (format->used) {
            if (format->startPage != nextPage)
                return Fail(error, FormatText("word %u starts at page %u, not %u", n, format->startPage, nextPage));
            nextPage += format->pages;
        } else if (format->startPage != 0) {
            return Fail(error, FormatText("unused word %u has start page %u", n, format->startPage));
        }
        image.words.push_back(WordInfo{*format, n});
    }
    const std::uint32_t held = image.header.Slot(kSectionWordImage).pageCount;
    if (nextPage != held)
        return Fail(error, FormatText("used words take %u pages, the word image holds %u", nextPage, held));
    return true;
}

// ---- The code: where it ends, its blocks, where its sentences start ----

// The code runs from unit 1 to the end mark after the last unit in use, or
// to the last sentence a trigger names (a sentence may be an end mark alone).
bool FindCodeEnd(const DecodedImage& image, unsigned& end, std::string& error) {
    const std::vector<std::uint16_t>& units = image.units;
    end = 0;
    for (unsigned k = static_cast<unsigned>(units.size()) - 1; k >= 1 && end == 0; --k)
        if (units[k] != kEndMark) end = k + 1;
    for (const TriggerBinding& t : image.triggers) end = std::max<unsigned>(end, t.startUnit);
    if (end >= units.size()) return Fail(error, "the last sentence has no end mark");
    return true;
}

bool FindBlockStarts(DecodedImage& image, unsigned end, std::string& error) {
    for (unsigned k = 1; k <= end; ++k) {
        const std::optional<DecodedUnit> u = DecodeUnit(image.units[k]);
        if (!u || u->layout != UnitLayout::kBlockJump) continue;
        const unsigned start = BlockStart(*u);
        if (start == 0 || start > end)
            return Fail(error, FormatText("a CALL or JMP targets unit %u, outside the code", start));
        image.blockStarts.push_back(static_cast<std::uint16_t>(start));
    }
    std::sort(image.blockStarts.begin(), image.blockStarts.end());
    image.blockStarts.erase(std::unique(image.blockStarts.begin(), image.blockStarts.end()), image.blockStarts.end());
    return true;
}

// A sentence ends at an end mark, unless a step reference spans it: then
// that end mark was an ^EOP step inside the sentence.
bool SplitSentences(DecodedImage& image, unsigned end, std::string& error) {
    const std::vector<std::uint16_t>& units = image.units;
    std::vector<int> spanning(end + 2, 0);
    for (unsigned k = 1; k <= end; ++k) {
        const std::optional<DecodedUnit> u = DecodeUnit(units[k]);
        if (!u || (u->layout != UnitLayout::kDecrementJump && u->layout != UnitLayout::kConditionalJump)) continue;
        const int target = static_cast<int>(k) + StepDistance(*u);
        if (target < 1 || target > static_cast<int>(end))
            return Fail(error, FormatText("unit %u: step reference outside the code", k));
        ++spanning[std::min<unsigned>(k, static_cast<unsigned>(target))];
        --spanning[std::max<unsigned>(k, static_cast<unsigned>(target))];
    }
    int open = 0;
    unsigned start = 1;
    for (unsigned k = 1; k <= end; ++k) {
        open += spanning[k];
        if (units[k] != kEndMark || open != 0) continue;
        image.sentences.push_back({static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(k)});
        start = k + 1;
    }
    if (start <= end) return Fail(error, FormatText("unit %u: sentence without end mark", start));
    return true;
}

// Every unit of a sentence before its end mark is one a step makes; a pad
// unit stands only before an even unit, where its block starts.
bool CheckSentenceUnits(const DecodedImage& image, std::string& error) {
    for (const SentenceCode& s : image.sentences) {
        for (unsigned k = s.start; k < s.endMark; ++k) {
            const std::uint16_t u = image.units[k];
            if (!DecodeUnit(u)) return Fail(error, FormatText("unit %u: 0x%04X is no code unit", k, unsigned{u}));
            if (u == kPadUnit && k % 2 == 0) return Fail(error, FormatText("unit %u: pad unit before an odd unit", k));
        }
    }
    return true;
}

bool DecodeCode(std::span<const std::uint8_t> st, DecodedImage& image, std::string& error) {
    image.units.resize(st.size() / 2);
    for (std::size_t k = 0; k < image.units.size(); ++k) image.units[k] = GetU16(&st[2 * k]);
    unsigned end = 0;
    return FindCodeEnd(image, end, error) && FindBlockStarts(image, end, error) &&
           SplitSentences(image, end, error) && CheckSentenceUnits(image, error);
}

}  // namespace

std::optional<DecodedImage> ReadImage(std::span<const std::uint8_t> file, std::string& error) {
    const std::optional<ImageHeader> header = ParseImageHeader(file, error);
    if (!header) return std::nullopt;
    DecodedImage image;
    image.header = *header;
    image.pages = static_cast<std::uint32_t>(file.size() / kPageSize);
    image.firmwareId = IdentifyFirmware(Section(file, image, kSectionFirmware));
    if (image.firmwareId) image.triggerMode = kTriggerModeNames[*image.firmwareId - kFirstFirmwareId];
    const KeyTableView kt = Section(file, image, kSectionKeyTable).first<kKeyTableBytes>();
    if (!DecodeKeyAndTriggerTables(kt, Section(file, image, kSectionTriggerTable), image, error) ||
        !DecodeWordTable(Section(file, image, kSectionWordTable), image, error) ||
        !DecodeCode(Section(file, image, kSectionSentenceTable), image, error))
        return std::nullopt;
    const std::span<const std::uint8_t> readme = Section(file, image, kSectionReadme);
    image.readme.assign(readme.begin(), readme.end());
    return image;
}

std::span<const std::uint8_t> WordPagesOf(std::span<const std::uint8_t> file, const DecodedImage& image,
                                          const WordInfo& word) {
    if (!word.used) return {};
    return Section(file, image, kSectionWordImage).subspan(std::size_t{kPageSize} * word.startPage,
                                                           std::size_t{kPageSize} * word.pages);
}

std::vector<std::uint8_t> WordSamples(std::span<const std::uint8_t> file, const DecodedImage& image,
                                      const WordInfo& word) {
    const std::span<const std::uint8_t> pages = WordPagesOf(file, image, word);
    if (word.bits == 8) return DecodePages8(pages, word.byteLength);
    std::vector<std::uint8_t> out;
    out.reserve(word.byteLength);
    for (std::int16_t s : DecodePages16(pages, word.byteLength / 2)) {
        out.push_back(static_cast<std::uint8_t>(s));
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return out;
}

}  // namespace zlt
