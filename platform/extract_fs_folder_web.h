#pragma once
// The extraction engine's file system in a browser page that was given a
// folder (the File System Access API): the tree is written into it through
// the worker's handles. Every call waits for the browser, so the page's
// engine is built to suspend there (Asyncify); the worker keeps the handles
// in a table of its own and answers each operation (page_worker.js).
//
// What the API cannot do: set times or the read-only mark (files get the
// time they were written), tell a link from what it points at, or report
// free space. A file is written beside the entry it replaces and takes its
// place only when closed whole, so a cut or damaged file leaves the old one
// as it was, or nothing when there was none.

#include "platform/extract_fs.h"

#include <memory>

// The folder is the worker's handle 1, set before the run; the destination
// path the engine passes is not used.
std::unique_ptr<ExtractFileSystem> MakeFolderExtractFileSystem();
