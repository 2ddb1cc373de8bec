// The project file that zlt900-link --init writes.
#pragma once

namespace zlt::tool {

// Every section and key of a project, the keys with defaults commented out
// with their default value.
extern const char kProjectSkeleton[];

}  // namespace zlt::tool
