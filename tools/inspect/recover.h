// Writes a project that links back to a given image.
#pragma once

#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"

#include <optional>
#include <string>
#include <vector>

namespace zlt::inspect {

// The project file text. Word n is the clip file Wnnnn.snx beside the
// project, named relative to it: the project links from its own folder.
// Nothing when the image cannot be expressed as a project (unknown firmware,
// or a read-me that is not the linker's); `error` says why.
std::optional<std::string> RecoverProject(const DecodedImage& image, const std::vector<SentenceListing>& sentences,
                                          std::string& error);

// The time stamp as seconds since 1970 when it is one that a fixed link time
// gives (UTC, no milliseconds, matching weekday); else nothing.
std::optional<long long> FixedLinkTime(const LinkTime& stamp);

}  // namespace zlt::inspect
