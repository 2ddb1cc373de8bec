// The readable summary of an image, as text or as JSON.
#pragma once

#include "reader/decoded_image.h"
#include "reader/sentence_listing.h"

#include <string>
#include <vector>

namespace zlt::inspect {

std::string TextReport(const DecodedImage& image, const std::vector<SentenceListing>& sentences);
std::string JsonReport(const DecodedImage& image, const std::vector<SentenceListing>& sentences);

}  // namespace zlt::inspect
