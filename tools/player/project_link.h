// A project played without a module: linked first into a temporary image,
// which is read back and removed.
#pragma once

#include "player/report.h"
#include "reader/image_source.h"

#include <optional>
#include <string>
#include <vector>

namespace zlt::player {

struct LinkedProject {
    LoadedImage loaded;                    // mapped; its file is already removed
    std::vector<NamedSentence> sentences;  // the project's sentences by their S keys
    std::vector<std::string> inputs;       // every file the link read: the project and its clips
};

// Links the project file (its clip paths taken relative to the working
// directory, as zlt900-link takes them) through the linker's own pipeline
// into an image in a fresh temporary folder, with the link time fixed at
// 1970-01-01 00:00:00, reads the image back and removes the folder. The
// project's sentence numbers come from the link's sentence index, which
// holds the first unit of each sentence. On failure returns nothing with the
// link's error lines, or the fault, in error.
//
// Like every link it must not overlap another, and it uses the message
// output and input notification of the linker while it runs (afterwards the
// messages go to standard output again and no input function is installed).
std::optional<LinkedProject> LinkProject(const std::string& projectPath, std::string& error);

}  // namespace zlt::player
