/* The core library of Ironquiver Self-Decryptor: archive writer, wipe and
 * delete engine, random bytes. Strings are UTF-16, terminated. */
#ifndef IVQA_H
#define IVQA_H

#include <stdint.h>
#if defined(_WIN32)
#include <wchar.h>
#else
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if defined(IVQA_BUILDING_LIBRARY) && !defined(_WIN32)
#define IVQA_API __attribute__((visibility("default")))
#else
#define IVQA_API
#endif

/* A UTF-16 unit. Windows programs pass wchar_t text (ivqa.dll, the same
 * units); the library itself, and C++ callers that define IVQA_CHAR16_TEXT,
 * use char16_t on every system. */
#if defined(_WIN32) && !defined(IVQA_CHAR16_TEXT)
typedef wchar_t IqChar;
#else
typedef char16_t IqChar;
#endif

typedef uint32_t CoreResult; /* 0 Ok ... 7 RandomError */
enum {
    IQ_OK = 0,
    IQ_OUT_OF_MEMORY = 1,
    IQ_KEYFILE_ERROR = 2,
    IQ_INPUT_DIR_ERROR = 3,
    IQ_INPUT_FILE_ERROR = 4,
    IQ_ARCHIVE_ERROR = 5,
    IQ_COMPRESSION_ERROR = 6,
    IQ_RANDOM_ERROR = 7,
    /* A callback threw: the caller aborted the run. The context is spent. */
    IQ_ABORTED = 8
};

typedef struct SdaContext SdaContext;
typedef struct WipeContext WipeContext;

typedef void (*NameCallback)(const IqChar *name);
typedef void (*RangeCallback)(const uint64_t *steps);
typedef void (*StepCallback)(void);
/* Non-zero: skip the entry and go on; zero: fail the entry. */
typedef int32_t (*SkipCallback)(const IqChar *name);

IVQA_API CoreResult IQ_SDAInit(SdaContext **ctx, const IqChar *archive, const IqChar *passphrase,
                               const IqChar *keyfile, uint32_t cipher_id, const IqChar *help,
                               NameCallback, RangeCallback, StepCallback, SkipCallback);
IVQA_API CoreResult IQ_SDAAddFile(SdaContext *ctx, const IqChar *path, int32_t level);
IVQA_API CoreResult IQ_SDAAddDir(SdaContext *ctx, const IqChar *path, int32_t level);
IVQA_API void IQ_SDAFinal(SdaContext *ctx);

IVQA_API CoreResult IQ_WipeInit(WipeContext **ctx, uint32_t repetitions, uint32_t method,
                                NameCallback, RangeCallback, StepCallback, SkipCallback);
IVQA_API CoreResult IQ_WipeFile(WipeContext *ctx, const IqChar *path);
IVQA_API CoreResult IQ_WipeDir(WipeContext *ctx, const IqChar *path);
IVQA_API void IQ_WipeFinal(WipeContext *ctx);
IVQA_API CoreResult IQ_RmFile(const IqChar *path, NameCallback, SkipCallback);
IVQA_API CoreResult IQ_RmDir(const IqChar *path, NameCallback, SkipCallback);

IVQA_API CoreResult IQ_RndGetBytes(void *buffer, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif /* IVQA_H */
