#include "inspect/recover.h"

#include "base/format.h"
#include "target/firmware.h"
#include "target/readme.h"
#include "trigger/clock_condition.h"

#include <ctime>

namespace zlt::inspect {

std::optional<long long> FixedLinkTime(const LinkTime& s) {
    if (s.millisecond != 0 || s.month < 1 || s.month > 12) return std::nullopt;
    std::tm tm{};
    tm.tm_year = static_cast<int>(s.year) - 1900;
    tm.tm_mon = static_cast<int>(s.month) - 1;
    tm.tm_mday = static_cast<int>(s.day);
    tm.tm_hour = static_cast<int>(s.hour);
    tm.tm_min = static_cast<int>(s.minute);
    tm.tm_sec = static_cast<int>(s.second);
    const std::time_t t = timegm(&tm);
    std::tm back{};
    if (t < 0 || gmtime_r(&t, &back) == nullptr || back.tm_wday != static_cast<int>(s.dayOfWeek) ||
        back.tm_mday != static_cast<int>(s.day) || back.tm_hour != static_cast<int>(s.hour))
        return std::nullopt;
    return static_cast<long long>(t);
}

std::optional<std::string> RecoverProject(const DecodedImage& image, const std::vector<SentenceListing>& sentences,
                                          std::string& error) {
    if (!image.firmwareId) {
        error = "the firmware is none of the images this linker carries";
        return std::nullopt;
    }
    const std::optional<ReadmeFields> readme = ParseReadme(image.readme);
    if (!readme || readme->model != kModelName) {
        error = "the read-me is not the one the linker writes";
        return std::nullopt;
    }
    std::string p = "; Recovered from a CFO image by zlt900-inspect.\n";
    p += "; The original link named the project " + readme->projectPath + " and the image " +
         readme->imagePath + ".\n";
    p += "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n\n[ZLP.System]\nTarget=ZELTA_900\n";
    p += "TG_Mode=" + readme->triggerMode + "\n";
    p += "Description=\"" + readme->description + "\"\n";

    std::string section;
    for (const OptionValue& o : image.options) {
        if (o.section != section) {
            section = o.section;
            p += "\n[" + section + "]\n";
        }
        p += o.key + "=" + o.value + "\n";
    }

    p += "\n[ZLP.Word]\n";
    for (const WordInfo& w : image.words)
        p += FormatText("W%0.4u=W%0.4u.snx\n", w.number, w.number);

    p += "\n[ZLP.Sentence]\n";
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        p += FormatText("S%0.4u=", static_cast<unsigned>(i)) + SentenceText(sentences[i]) + "\n";
    }

    p += "\n[ZLP.Trigger]\n";
    for (const TriggerBinding& t : image.triggers) {
        const int sentence = SentenceAt(sentences, t.startUnit);
        if (sentence < 0) {
            error = FormatText("trigger %u names unit %u, where no sentence starts", t.trigger,
                               unsigned{t.startUnit});
            return std::nullopt;
        }
        p += FormatText("T%0.4u=%s + S%0.4d", t.trigger, t.modes.c_str(), sentence);
        if (t.clockWord) p += " + " + *ClockConditionText(*t.clockWord);
        p += "\n";
    }
    return p;
}

}  // namespace zlt::inspect
