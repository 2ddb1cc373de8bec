// The page's files, embedded in the program when it is built from
// tools/studio/web/ (cmake/EmbedWeb.cmake): the page needs no build step and
// the studio no files beside it.
#pragma once

#include <string_view>

namespace zlt::studio {

struct WebFile {
    std::string_view path;  // relative to web/, e.g. "views/words.js"
    std::string_view type;  // the Content-Type it is served with
    std::string_view bytes;
};

// The file at path; nullptr when the page has none.
const WebFile* FindWebFile(std::string_view path);

}  // namespace zlt::studio
