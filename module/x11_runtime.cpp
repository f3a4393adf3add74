#include "module/x11_runtime.h"

#include <dlfcn.h>

#include <cstring>
#include <vector>

// From the generated x11_trampolines.S: NUL-separated lists that end in an
// empty name, and one slot per symbol that its jump goes through.
extern "C" const char ivqa_x11_library_names[];
extern "C" const char ivqa_x11_symbol_names[];
extern "C" void* ivqa_x11_symbol_slots[];

namespace {

void CloseAll(std::vector<void*>& handles)
{
    for (auto it = handles.rbegin(); it != handles.rend(); ++it)
        dlclose(*it);
    handles.clear();
}

} // namespace

std::string LoadX11Libraries()
{
    static bool loaded = false;
    if (loaded)
        return {};
    std::vector<void*> handles;
    for (const char* name = ivqa_x11_library_names; *name != '\0'; name += std::strlen(name) + 1) {
        void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* reason = dlerror();
            std::string error = reason != nullptr ? reason : name;
            CloseAll(handles);
            return error;
        }
        handles.push_back(handle);
    }
    std::size_t index = 0;
    for (const char* name = ivqa_x11_symbol_names; *name != '\0'; name += std::strlen(name) + 1, ++index) {
        void* address = nullptr;
        for (void* handle : handles) {
            address = dlsym(handle, name);
            if (address != nullptr)
                break;
        }
        if (address == nullptr) {
            CloseAll(handles);
            return std::string(name) + ": no such function in the X libraries";
        }
        ivqa_x11_symbol_slots[index] = address;
    }
    // The handles stay open: the window calls through the slots until the
    // process ends.
    loaded = true;
    return {};
}
