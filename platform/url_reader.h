#pragma once
// Reads http://, https:// and ftp:// resources: through libcurl on Linux,
// through WinINet on Windows.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

// Receives the bytes in order, in pieces of any size; returns false to stop
// the transfer.
using UrlSink = bool (*)(void* context, const std::uint8_t* data, std::size_t length);

inline bool IsRemoteUrl(const char* location)
{
    for (const char* scheme : {"http://", "https://", "ftp://"}) {
        if (std::strncmp(location, scheme, std::strlen(scheme)) == 0)
            return true;
    }
    return false;
}

// True when the whole resource was delivered. False when libcurl is missing,
// the scheme is not one of the above, the server cannot be reached or
// answers with an error status, the transfer breaks off, or the sink stopped.
bool FetchUrl(const char* url, const char* agentName, UrlSink sink, void* context);
