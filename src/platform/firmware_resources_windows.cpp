// The firmware images as data resources (RT_RCDATA) of the library's module,
// one per trigger mode under its resource id; the build compiles them in from
// a resource script.
#include "platform/library_module.h"
#include "target/firmware_images.h"

#include <windows.h>

namespace zlt {

namespace {
HMODULE g_module = nullptr;
}  // namespace

void platform::SetLibraryModule(void* module) { g_module = static_cast<HMODULE>(module); }

std::span<const std::uint8_t> FindFirmwareImage(unsigned id) {
    HRSRC resource = FindResourceA(g_module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (resource == nullptr) return {};
    const DWORD size = SizeofResource(g_module, resource);
    HGLOBAL loaded = LoadResource(g_module, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (size == 0 || data == nullptr) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

}  // namespace zlt
