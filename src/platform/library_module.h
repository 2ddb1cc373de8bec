// The library's own module on Windows: the entry routine records it when a
// process loads the library, and the firmware images are found among its
// resources. A program that carries the images itself (the inspector) never
// records one, and its resources are found through the null module, which
// names the program's own.
#pragma once

namespace zlt::platform {

void SetLibraryModule(void* module);

}  // namespace zlt::platform
