#pragma once
// The few libcurl entry points the URL reader uses, as a table, so that the
// same reader runs over a linked libcurl (the library) or one loaded at run
// time (the module, which must start on machines without libcurl).

#include <curl/curl.h>

struct CurlApi {
    CURLcode (*global_init)(long flags);
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...);
    CURLcode (*easy_perform)(CURL* handle);
    void (*easy_cleanup)(CURL* handle);
};

// Null when libcurl cannot be had. The first successful call has run
// curl_global_init.
const CurlApi* GetCurlApi();
