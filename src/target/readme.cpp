#include "target/readme.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/section_writer.h"

#include <charconv>
#include <vector>

namespace zlt {

namespace {

// Its conversions take the five texts, then the six numbers of the time.
constexpr char kReadmeFormat[] =
    "\nReadme file for NVK Zelta series\n\n\tProduct model : %s\n\tTrigger mode  : %s\n"
    "\tZLP file name : %s\n\tCFO file name : %s\n\tUser descr.   : %s\n"
    "\tLinking time  : %0.4u/%0.2u/%0.2u - %0.2u:%0.2u:%0.2u";

}  // namespace

std::string FormatReadme(const ReadmeFields& f) {
    return FormatText(kReadmeFormat, f.model.c_str(), f.triggerMode.c_str(), f.projectPath.c_str(),
                      f.imagePath.c_str(), f.description.c_str(), f.year, f.month, f.day, f.hour, f.minute,
                      f.second);
}

std::optional<ReadmeFields> ParseReadme(std::string_view text) {
    std::vector<std::string> texts;
    std::vector<unsigned> numbers;
    for (std::string_view format = kReadmeFormat;;) {
        const std::size_t percent = format.find('%');
        const std::string_view literal = format.substr(0, percent);
        if (!text.starts_with(literal)) return std::nullopt;
        text.remove_prefix(literal.size());
        if (percent == std::string_view::npos) break;
        format.remove_prefix(percent + 1);
        format.remove_prefix(format.find_first_not_of("0123456789."));
        const char conversion = format.front();
        format.remove_prefix(1);
        if (conversion == 's') {
            const std::size_t end = text.find(format.substr(0, format.find('%')));
            if (end == std::string_view::npos) return std::nullopt;
            texts.emplace_back(text.substr(0, end));
            text.remove_prefix(end);
        } else {
            unsigned n = 0;
            const auto [stop, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (ec != std::errc()) return std::nullopt;
            numbers.push_back(n);
            text.remove_prefix(static_cast<std::size_t>(stop - text.data()));
        }
    }
    if (!text.empty()) return std::nullopt;
    return ReadmeFields{texts[0], texts[1], texts[2], texts[3], texts[4], numbers[0],
                        numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]};
}

bool WriteReadmeSection(LinkContext& ctx, DirSlot& slot) {
    const LinkTime& t = ctx.linkTime;
    const ReadmeFields fields{ctx.modelName, ctx.triggerModeName, ctx.projectPath, ctx.imagePath,
                              ctx.reader->ReadString("ZLP.System", "Description", "None"),
                              t.year, t.month, t.day, t.hour, t.minute, t.second};
    return EmitSection(ctx, slot, AsBytes(FormatReadme(fields)));
}

}  // namespace zlt
