#include "target/readme.h"

#include "base/bytes.h"
#include "base/format.h"
#include "base/section_writer.h"

namespace zlt {

std::string FormatReadme(const LinkContext& ctx, const std::string& description, const LinkTime& t) {
    return FormatText(
        "\nReadme file for NVK Zelta series\n\n\tProduct model : %s\n\tTrigger mode  : %s\n"
        "\tZLP file name : %s\n\tCFO file name : %s\n\tUser descr.   : %s\n"
        "\tLinking time  : %0.4u/%0.2u/%0.2u - %0.2u:%0.2u:%0.2u",
        ctx.modelName.c_str(), ctx.triggerModeName.c_str(), ctx.projectPath.c_str(),
        ctx.imagePath.c_str(), description.c_str(), unsigned{t.year}, unsigned{t.month},
        unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second});
}

bool WriteReadmeSection(LinkContext& ctx, DirSlot& slot) {
    const std::string description = ctx.reader->ReadString("ZLP.System", "Description", "None");
    const std::string text = FormatReadme(ctx, description, ctx.linkTime);
    return EmitSection(ctx, slot, AsBytes(text));
}

}  // namespace zlt
