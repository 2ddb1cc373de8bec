// The readable summary of an image, as text or as JSON.
#pragma once

#include "inspect/disassembler.h"
#include "inspect/image_model.h"

#include <string>
#include <vector>

namespace zlt::inspect {

std::string TextReport(const Image& image, const std::vector<SentenceListing>& sentences);
std::string JsonReport(const Image& image, const std::vector<SentenceListing>& sentences);

// The listed sentence whose code starts at `unit`, as its position in the
// listing; -1 when none does.
int SentenceAt(const std::vector<SentenceListing>& sentences, unsigned unit);

}  // namespace zlt::inspect
