/* The core library of Ironquiver Self-Decryptor: archive writer, wipe and
 * delete engine, random bytes. Strings are UTF-16, terminated. */
#ifndef IVQA_H
#define IVQA_H

#include <stdint.h>
#include <uchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(IVQA_BUILDING_LIBRARY)
#define IVQA_API __attribute__((visibility("default")))
#else
#define IVQA_API
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

typedef void (*NameCallback)(const char16_t *name);
typedef void (*RangeCallback)(const uint64_t *steps);
typedef void (*StepCallback)(void);
/* Non-zero: skip the entry and go on; zero: fail the entry. */
typedef int32_t (*SkipCallback)(const char16_t *name);

IVQA_API CoreResult IQ_SDAInit(SdaContext **ctx, const char16_t *archive, const char16_t *passphrase,
                               const char16_t *keyfile, uint32_t cipher_id, const char16_t *help,
                               NameCallback, RangeCallback, StepCallback, SkipCallback);
IVQA_API CoreResult IQ_SDAAddFile(SdaContext *ctx, const char16_t *path, int32_t level);
IVQA_API CoreResult IQ_SDAAddDir(SdaContext *ctx, const char16_t *path, int32_t level);
IVQA_API void IQ_SDAFinal(SdaContext *ctx);

IVQA_API CoreResult IQ_WipeInit(WipeContext **ctx, uint32_t repetitions, uint32_t method,
                                NameCallback, RangeCallback, StepCallback, SkipCallback);
IVQA_API CoreResult IQ_WipeFile(WipeContext *ctx, const char16_t *path);
IVQA_API CoreResult IQ_WipeDir(WipeContext *ctx, const char16_t *path);
IVQA_API void IQ_WipeFinal(WipeContext *ctx);
IVQA_API CoreResult IQ_RmFile(const char16_t *path, NameCallback, SkipCallback);
IVQA_API CoreResult IQ_RmDir(const char16_t *path, NameCallback, SkipCallback);

IVQA_API CoreResult IQ_RndGetBytes(void *buffer, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif /* IVQA_H */
