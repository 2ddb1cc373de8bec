// The largest project file of the benchmarks: every W, S and T key of the
// 8192 each, with clip paths, triggers (the clock triggers with their
// conditions) and every option; `sentence` gives the text of sentence n.
#pragma once

#include <string>

namespace zlt {

std::string MaximalProject(std::string (*sentence)(int n));

// The clip path of word n in it.
std::string MaximalProjectClip(int n);

}  // namespace zlt
