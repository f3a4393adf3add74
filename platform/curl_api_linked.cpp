#include "platform/curl_api.h"

#include <mutex>

const CurlApi* GetCurlApi()
{
    static const CurlApi api{&curl_global_init, &curl_easy_init, &curl_easy_setopt,
                             &curl_easy_perform, &curl_easy_cleanup};
    static const bool ready = api.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready ? &api : nullptr;
}
