// The read-me section (ReadMe.txt): a short text naming the model, trigger
// mode, project, image, description and link time, written and read here.
#pragma once

#include "base/context.h"

#include <optional>
#include <string>
#include <string_view>

namespace zlt {

// What the read-me shows.
struct ReadmeFields {
    std::string model;
    std::string triggerMode;  // as the project spelt it
    std::string projectPath;  // as the host passed it to the linker
    std::string imagePath;
    std::string description;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;

    bool operator==(const ReadmeFields&) const = default;
};

std::string FormatReadme(const ReadmeFields& fields);

// The fields of a text that FormatReadme gives; nothing for any other text.
// A text field ends where the text that follows it in the read-me first
// occurs.
std::optional<ReadmeFields> ParseReadme(std::string_view text);

bool WriteReadmeSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
