// What the studio's page is shown, as JSON: the project's entries with what
// the library makes of them, the checker's diagnostics, and a linked image.
#pragma once

#include "base/diagnostic.h"
#include "reader/decoded_image.h"
#include "studio/session.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace zlt::studio {

// The options with their accepted values and defaults, the words with their
// clips' facts and the sentences that play them, the sentences with their
// disassembly, the triggers with their modes, sentences and clock
// conditions. What only a link tells comes from the session's preview image;
// "preview" says whether there is one, and why not.
nlohmann::json ProjectJson(Session& session);

// The diagnostics, each with its place in the text; those at the value of
// their key also say where in the value ("valueOffset", in bytes).
nlohmann::json DiagnosticsJson(const std::vector<Diagnostic>& diagnostics, const std::string& text);

// The image's sections by pages ("directory"), and the pages of each word
// inside the word image ("words").
nlohmann::json ImageJson(const DecodedImage& image);

// "demo.cfo" for "demo.zlp".
std::string DefaultImageName(const std::string& projectFile);

}  // namespace zlt::studio
