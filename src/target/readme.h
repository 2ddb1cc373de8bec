// The read-me section (ReadMe.txt): a short text naming the model, trigger
// mode, project, image, description and link time.
#pragma once

#include "base/context.h"
#include "platform/clock.h"

#include <string>

namespace zlt {

std::string FormatReadme(const LinkContext& ctx, const std::string& description, const LinkTime& t);

bool WriteReadmeSection(LinkContext& ctx, DirSlot& slot);

}  // namespace zlt
