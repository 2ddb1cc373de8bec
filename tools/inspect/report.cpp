#include "inspect/report.h"

#include "base/format.h"
#include "trigger/clock_condition.h"

namespace zlt::inspect {

namespace {

std::string SentenceName(const std::vector<SentenceListing>& sentences, unsigned unit) {
    const int n = SentenceAt(sentences, unit);
    return n < 0 ? FormatText("unit %u", unit) : FormatText("S%0.4d", n);
}

std::string FirmwareName(const DecodedImage& image) {
    return image.firmwareId ? image.triggerMode : "unknown firmware";
}

std::string StampText(const LinkTime& t) {
    return FormatText("%0.4u/%0.2u/%0.2u %0.2u:%0.2u:%0.2u.%0.3u", unsigned{t.year}, unsigned{t.month},
                      unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second},
                      unsigned{t.millisecond});
}

}  // namespace

std::string TextReport(const DecodedImage& image, const std::vector<SentenceListing>& sentences) {
    std::string out;
    out += FormatText("CFO image, %u pages\n", image.pages);
    out += "Directory:\n";
    for (const SectionKind& kind : kSectionKinds) {
        const DirSlot& s = image.header.Slot(kind.type);
        out += FormatText("  %u %-13s first page %5u, %5u pages, %9u bytes\n", unsigned{kind.type},
                          std::string(kind.name).c_str(), s.firstPage, s.pageCount, s.byteLength);
    }
    out += "Trigger mode: " + FirmwareName(image);
    if (image.firmwareId) out += FormatText(" (firmware %u)", *image.firmwareId);
    out += "\nModel-ID: " + image.modelId + "\nLink time: " + StampText(image.linkTime) + "\n";
    out += "Options:\n";
    for (const OptionValue& o : image.options) out += "  " + o.key + " = " + o.value + "\n";
    out += FormatText("Triggers: %u\n", static_cast<unsigned>(image.triggers.size()));
    for (const TriggerBinding& t : image.triggers) {
        out += FormatText("  T%0.4u = %s + %s", t.trigger, t.modes.c_str(),
                          SentenceName(sentences, t.startUnit).c_str());
        if (t.clockWord) out += " + " + *ClockConditionText(*t.clockWord);
        out += "\n";
    }
    out += FormatText("Words: %u\n", static_cast<unsigned>(image.words.size()));
    for (const WordInfo& w : image.words) {
        out += FormatText("  W%0.4u %2u-bit %5u Hz %9u bytes %6u pages", w.number, w.bits, w.sampleRate,
                          w.byteLength, w.pages);
        out += w.used ? FormatText(" from page %u\n", w.startPage) : std::string(" unused\n");
    }
    out += FormatText("Sentences: %u\n", static_cast<unsigned>(sentences.size()));
    for (std::size_t i = 0; i < sentences.size(); ++i)
        out += FormatText("  S%0.4u (unit %u) = ", static_cast<unsigned>(i), unsigned{sentences[i].start}) +
               SentenceText(sentences[i]) + "\n";
    out += "Read-me:" + image.readme + "\n";
    return out;
}

std::string JsonReport(const DecodedImage& image, const std::vector<SentenceListing>& sentences) {
    std::string out = "{\n";
    out += FormatText("  \"pages\": %u,\n  \"sections\": [", image.pages);
    const char* separator = "";
    for (const SectionKind& kind : kSectionKinds) {
        const DirSlot& s = image.header.Slot(kind.type);
        out += FormatText("%s\n    {\"type\": %u, \"name\": \"%s\", \"firstPage\": %u, \"pageCount\": %u, "
                          "\"byteLength\": %u}",
                          separator, unsigned{kind.type}, std::string(kind.name).c_str(), s.firstPage, s.pageCount,
                          s.byteLength);
        separator = ",";
    }
    out += "\n  ],\n  \"triggerMode\": " + (image.firmwareId ? JsonString(image.triggerMode) : std::string("null"));
    out += FormatText(",\n  \"firmwareId\": %s", image.firmwareId ? std::to_string(*image.firmwareId).c_str() : "null");
    out += ",\n  \"modelId\": " + JsonString(image.modelId);
    out += ",\n  \"linkTime\": " + JsonString(StampText(image.linkTime));
    out += ",\n  \"options\": {";
    for (std::size_t i = 0; i < image.options.size(); ++i)
        out += (i ? ",\n    " : "\n    ") + JsonString(image.options[i].key) + ": " +
               JsonString(image.options[i].value);
    out += "\n  },\n  \"triggers\": [";
    for (std::size_t i = 0; i < image.triggers.size(); ++i) {
        const TriggerBinding& t = image.triggers[i];
        out += FormatText("%s\n    {\"trigger\": %u, \"modes\": ", i ? "," : "", t.trigger) + JsonString(t.modes);
        out += FormatText(", \"startUnit\": %u, \"sentence\": %d", unsigned{t.startUnit},
                          SentenceAt(sentences, t.startUnit));
        if (t.clockWord) out += ", \"clock\": " + JsonString(*ClockConditionText(*t.clockWord));
        out += "}";
    }
    out += "\n  ],\n  \"words\": [";
    for (std::size_t i = 0; i < image.words.size(); ++i) {
        const WordInfo& w = image.words[i];
        out += FormatText("%s\n    {\"word\": %u, \"bits\": %u, \"sampleRate\": %u, \"byteLength\": %u, "
                          "\"pages\": %u, \"used\": %s, \"startPage\": %u}",
                          i ? "," : "", w.number, w.bits, w.sampleRate, w.byteLength, w.pages,
                          w.used ? "true" : "false", w.startPage);
    }
    out += "\n  ],\n  \"sentences\": [";
    for (std::size_t i = 0; i < sentences.size(); ++i)
        out += FormatText("%s\n    {\"sentence\": %u, \"startUnit\": %u, \"text\": ", i ? "," : "",
                          static_cast<unsigned>(i), unsigned{sentences[i].start}) +
               JsonString(SentenceText(sentences[i])) + "}";
    out += "\n  ],\n  \"readme\": " + JsonString(image.readme) + "\n}\n";
    return out;
}

}  // namespace zlt::inspect
