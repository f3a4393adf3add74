#pragma once
// The extraction engine's file system in a browser page: the restored tree
// becomes one .zip stream. The tree exists only as the entries of this run,
// so "exists" means "restored earlier in this run"; nothing outside the
// stream is ever touched.

#include "platform/extract_fs.h"
#include "platform/zip_stream.h"

#include <memory>
#include <string>
#include <string_view>

class ZipExtractFileSystem : public ExtractFileSystem {
public:
    // The local header precedes the data, so the times and size of the next
    // entry are told before it is created (from its verified record).
    virtual void AnnounceEntry(const ZipTimes& times, std::uint64_t size) = 0;
    // Writes the central directory; entries still open are left out.
    virtual bool Finish() = 0;
};

std::unique_ptr<ZipExtractFileSystem> MakeZipExtractFileSystem(ZipSink sink);

// The UTF-8 name a browser is given for a recorded name; lone surrogates
// (bytes of a name that was no UTF-8 on the sender's system) become '_'.
std::string WebEntryName(std::u16string_view name);
