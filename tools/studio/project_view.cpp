#include "studio/project_view.h"

#include "base/names.h"
#include "options/option_table.h"
#include "player/agenda.h"
#include "project/ini_file.h"
#include "reader/sentence_listing.h"
#include "sentence/instructions.h"
#include "studio/word_audio.h"
#include "target/firmware.h"
#include "trigger/clock_condition.h"
#include "trigger/key_table.h"
#include "trigger/trigger_table.h"
#include "word/word_table.h"

#include <filesystem>
#include <map>
#include <set>

namespace zlt::studio {

namespace {

using nlohmann::json;

// The lines of the W, S or T keys of a section whose values count, by number.
std::map<unsigned, const KeyLine*> Entries(const IniFile& ini, char letter) {
    std::map<unsigned, const KeyLine*> out;
    for (std::size_t i = 0; i < ini.Keys().size(); ++i) {
        const KeyLine& k = ini.Keys()[i];
        const std::optional<EntryName> name = EntryOf(k.key);
        if (k.first != i || !name || name->key.size() != 5 || name->key[0] != letter ||
            !EqualsIgnoringCase(ini.Sections()[k.section].name, name->section))
            continue;
        out.emplace(std::stoul(name->key.substr(1)), &k);
    }
    return out;
}

const char* StepKind(const DecodedImage& image, std::uint16_t unit, const std::string& text) {
    if (unit == 0) return text.starts_with(kBlockPrefix) ? "block" : "none";
    const std::optional<DecodedUnit> u = DecodeUnit(image.units[unit]);
    switch (u ? u->layout : UnitLayout::kPad) {
    case UnitLayout::kPad: return "block";
    case UnitLayout::kWord: return "word";
    case UnitLayout::kMute: return "mute";
    case UnitLayout::kDecrementJump:
    case UnitLayout::kConditionalJump:
    case UnitLayout::kBlockJump: return "jump";
    default: return "instruction";
    }
}

json ClockJson(std::uint32_t word) {
    const std::optional<ClockCondition> c = UnpackClockCondition(word);
    if (!c) return nullptr;
    return {{"word", word},
            {"text", ClockConditionText(word).value_or("")},
            {"month", c->month},
            {"day", c->day},
            {"firstWeekday", c->firstWeekday},
            {"lastWeekday", c->lastWeekday},
            {"hour", c->hour},
            {"lastHour", c->lastHour},
            {"minute", c->minute}};
}

// What the preview image tells of the sentences, words and triggers.
struct Linked {
    std::map<unsigned, json> steps;                   // by sentence number
    std::map<unsigned, std::set<unsigned>> wordUsers;  // word -> sentences
    std::map<unsigned, std::vector<unsigned>> sentenceTriggers;
    std::map<unsigned, json> triggers;                // by trigger number
};

Linked ReadPreview(const player::LinkedProject& preview) {
    Linked out;
    const DecodedImage& image = preview.loaded.image;
    std::vector<SentenceListing> listing;
    std::string error;
    if (ListSentences(image, listing, error)) {
        for (const SentenceListing& s : listing) {
            const int number = player::NumberOf(preview.sentences, s.start);
            if (number < 0) continue;
            json steps = json::array();
            for (std::size_t i = 0; i < s.steps.size(); ++i) {
                const std::uint16_t unit = s.stepUnits[i];
                json step = {{"text", s.steps[i]}, {"kind", StepKind(image, unit, s.steps[i])}};
                if (unit != 0) step.update({{"unit", unit}, {"code", image.units[unit]}});
                const std::optional<DecodedUnit> u = unit ? DecodeUnit(image.units[unit]) : std::nullopt;
                if (u && u->layout == UnitLayout::kWord) out.wordUsers[u->value].insert(static_cast<unsigned>(number));
                steps.push_back(std::move(step));
            }
            out.steps[static_cast<unsigned>(number)] = {{"start", s.start}, {"steps", std::move(steps)}};
        }
    }
    for (const TriggerBinding& t : image.triggers) {
        const int number = player::NumberOf(preview.sentences, t.startUnit);
        if (number >= 0) out.sentenceTriggers[static_cast<unsigned>(number)].push_back(t.trigger);
        out.triggers[t.trigger] = {{"modes", t.modes},
                                   {"sentence", number >= 0 ? json(number) : json(nullptr)},
                                   {"clock", t.clockWord ? ClockJson(*t.clockWord) : json(nullptr)}};
    }
    return out;
}

json OptionsJson(const IniFile& ini, const player::LinkedProject* preview) {
    json out = json::array();
    auto linked = [&](const char* key) -> json {
        if (preview)
            for (const OptionValue& v : preview->loaded.image.options)
                if (v.key == key) return v.value;
        return nullptr;
    };
    auto written = [&](const char* section, const char* key) -> json {
        const std::string* v = ini.Find(section, key);
        return v ? json(*v) : json(nullptr);
    };
    for (const OptionField& f : OptionFields()) {
        const bool flag = f.kind == OptionKind::kFlag;
        json accepted = nullptr;
        if (flag) accepted = {"true", "false"};
        const std::span<const std::uint32_t> values = AcceptedValues(f.check);
        if (!values.empty()) accepted = json(std::vector<std::uint32_t>(values.begin(), values.end()));
        out.push_back({{"section", f.section},
                       {"key", f.key},
                       {"kind", flag ? "flag" : f.kind == OptionKind::kSignedWord ? "signed" : "number"},
                       {"bits", f.kind == OptionKind::kByte ? 8 : 16},
                       {"default", flag ? (f.def ? "true" : "false") : std::to_string(f.def)},
                       {"accepted", accepted},
                       {"value", written(f.section, f.key)},
                       {"linked", linked(f.key)}});
    }
    out.push_back({{"section", "ZLP.System"},
                   {"key", "TG_Mode"},
                   {"kind", "choice"},
                   {"default", nullptr},
                   {"accepted", std::vector<std::string>(std::begin(kTriggerModeNames), std::end(kTriggerModeNames))},
                   {"value", written("ZLP.System", "TG_Mode")},
                   {"linked", preview ? json(preview->loaded.image.triggerMode) : json(nullptr)}});
    out.push_back({{"section", "ZLP.System"},
                   {"key", "Description"},
                   {"kind", "text"},
                   {"default", nullptr},
                   {"accepted", nullptr},
                   {"value", written("ZLP.System", "Description")},
                   {"linked", nullptr}});
    return out;
}

// The numbers kept for n, or an empty list.
template <typename Map>
json ListAt(const Map& map, unsigned n) {
    const auto it = map.find(n);
    return it == map.end() ? json::array() : json(it->second);
}

}  // namespace

std::string DefaultImageName(const std::string& projectFile) {
    return std::filesystem::path(projectFile).stem().string() + ".cfo";
}

json ProjectJson(Session& session) {
    std::string previewError;
    const player::LinkedProject* preview = session.Preview(previewError);
    const std::unique_ptr<IniFile> ini = IniFile::Parse(session.Text());
    const Linked linked = preview ? ReadPreview(*preview) : Linked{};

    json edited = json::array();
    for (const auto& [name, value] : session.edits()) edited.push_back(name.key);
    const std::string mode = preview ? preview->loaded.image.triggerMode : "";
    json out = {{"project",
                 {{"file", session.fileName()},
                  {"folder", session.folder()},
                  {"image", DefaultImageName(session.fileName())},
                  {"edited", edited},
                  {"linkedImage", session.lastImage().empty() ? json(nullptr)
                                                               : json(std::filesystem::path(session.lastImage())
                                                                          .filename()
                                                                          .string())}}},
                {"preview", {{"links", preview != nullptr}, {"error", previewError}}},
                {"triggerMode", mode},
                {"readsClock", player::ModeReadsClock(mode)},
                {"options", OptionsJson(*ini, preview)}};

    json words = json::array();
    for (const auto& [n, line] : Entries(*ini, 'W')) {
        const std::string clip = *ini->Find("ZLP.Word", WordKey(n));
        json word = {{"number", n}, {"key", WordKey(n)}, {"clip", clip}, {"line", line->keyAt.line}};
        std::string error = clip.empty() ? "no clip: the word is not defined" : "the clip lies outside the project folder";
        const std::optional<std::string> path = session.ClipPath(clip);
        if (const std::optional<ClipWord> facts = path ? ReadClipWord(*path, false, error) : std::nullopt) {
            const WordFormat& f = facts->format;
            word["format"] = {{"bits", f.bits},
                              {"rate", f.sampleRate},
                              {"bytes", f.byteLength},
                              {"pages", f.pages},
                              {"seconds", double(f.byteLength) / (f.bits / 8) / f.sampleRate}};
        } else {
            word["error"] = error;
        }
        word["usedBy"] = ListAt(linked.wordUsers, n);
        words.push_back(std::move(word));
    }
    out["words"] = std::move(words);

    json sentences = json::array();
    for (const auto& [n, line] : Entries(*ini, 'S')) {
        json sentence = {{"number", n},
                         {"key", line->key},
                         {"text", *ini->Find("ZLP.Sentence", line->key)},
                         {"line", line->keyAt.line}};
        if (const auto steps = linked.steps.find(n); steps != linked.steps.end()) sentence.update(steps->second);
        sentence["triggers"] = ListAt(linked.sentenceTriggers, n);
        sentences.push_back(std::move(sentence));
    }
    out["sentences"] = std::move(sentences);

    json triggers = json::array();
    for (const auto& [n, line] : Entries(*ini, 'T')) {
        const std::string text = *ini->Find("ZLP.Trigger", line->key);
        json trigger = {{"number", n}, {"key", line->key}, {"text", text}, {"line", line->keyAt.line},
                        {"isClock", IsClockTrigger(n)}};
        if (const std::optional<TriggerFields> f = SplitTriggerEntry(text); f && f->count >= 2)
            trigger["fields"] = {{"modes", f->modes}, {"sentence", f->sentence}, {"clock", f->clock}};
        const auto bound = linked.triggers.find(n);
        trigger["bound"] = bound == linked.triggers.end() ? json(nullptr) : bound->second;
        triggers.push_back(std::move(trigger));
    }
    out["triggers"] = std::move(triggers);
    return out;
}

json DiagnosticsJson(const std::vector<Diagnostic>& diagnostics, const std::string& text) {
    static constexpr const char* kSeverity[] = {"error", "warning", "note"};
    const std::unique_ptr<IniFile> ini = IniFile::Parse(text);
    json out = json::array();
    for (const Diagnostic& d : diagnostics) {
        json j = {{"severity", kSeverity[static_cast<int>(d.severity)]},
                  {"kind", InfoOf(d.kind).name},
                  {"line", d.at.line},
                  {"column", d.at.column},
                  {"length", d.at.length},
                  {"key", d.key},
                  {"message", d.message},
                  {"linkLine", d.linkLine},
                  {"stopsLink", d.stopsLink}};
        const std::optional<EntryName> entry = EntryOf(d.key);
        const KeyLine* k = entry ? ini->Locate(entry->section, entry->key) : nullptr;
        if (k && d.at.line == k->valueAt.line && d.at.column >= k->valueAt.column)
            j["valueOffset"] = d.at.column - k->valueAt.column;
        out.push_back(std::move(j));
    }
    return out;
}

json ImageJson(const DecodedImage& image) {
    json directory = json::array();
    for (const SectionKind& kind : kSectionKinds) {
        const DirSlot& slot = image.header.Slot(kind.type);
        directory.push_back({{"name", kind.name},
                             {"type", kind.type},
                             {"firstPage", slot.firstPage},
                             {"pages", slot.pageCount},
                             {"bytes", slot.byteLength}});
    }
    json words = json::array();
    for (const WordInfo& w : image.words)
        if (w.used)
            words.push_back({{"number", w.number},
                             {"key", WordKey(w.number)},
                             {"startPage", w.startPage},
                             {"pages", w.pages},
                             {"bits", w.bits},
                             {"rate", w.sampleRate}});
    return {{"pages", image.pages},
            {"triggerMode", image.triggerMode},
            {"directory", std::move(directory)},
            {"words", std::move(words)}};
}

}  // namespace zlt::studio
