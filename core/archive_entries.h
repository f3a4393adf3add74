#pragma once
// Adding one entry to the archive: a file with its blocks, or a directory
// with everything below it. `dirFd` is the handle `entry.path` is relative
// to: the walk's current directory, or AT_FDCWD for the caller's paths.

#include "core/entry_name.h"
#include "core/sda_context.h"

inline constexpr int MinCompressionLevel = 0;
inline constexpr int MaxCompressionLevel = 9;

CoreResult AddFileEntry(SdaContext& context, int dirFd, const EntryName& entry, int level);
CoreResult AddDirEntry(SdaContext& context, int dirFd, const EntryName& entry, int level);

// An entry the caller names: a directory's walk reads ahead on helpers when
// the context allows it and there are cores for them. Everything it wrote
// is in the archive's file when it returns.
CoreResult AddCallerEntry(SdaContext& context, int pathBase, const EntryName& entry, int level, bool directory);
