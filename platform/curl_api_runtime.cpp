#include "platform/curl_api.h"

#include <dlfcn.h>

namespace {

template <typename Function>
bool Resolve(void* library, const char* name, Function* function)
{
    *function = reinterpret_cast<Function>(dlsym(library, name));
    return *function != nullptr;
}

const CurlApi* Load()
{
    static CurlApi api{};
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    if (!Resolve(library, "curl_global_init", &api.global_init) ||
        !Resolve(library, "curl_easy_init", &api.easy_init) ||
        !Resolve(library, "curl_easy_setopt", &api.easy_setopt) ||
        !Resolve(library, "curl_easy_perform", &api.easy_perform) ||
        !Resolve(library, "curl_easy_cleanup", &api.easy_cleanup) ||
        api.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        dlclose(library);
        return nullptr;
    }
    // The library stays loaded for the life of the process.
    return &api;
}

} // namespace

const CurlApi* GetCurlApi()
{
    static const CurlApi* const api = Load();
    return api;
}
