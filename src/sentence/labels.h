// The label table of code blocks.
#pragma once

namespace zlt {

class LabelTable {
public:
    void Clear() {}
};

}  // namespace zlt
