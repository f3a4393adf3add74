#pragma once

#include "ivqa.h"

// The exports of libivqa the front end calls, as one table. The forms call
// the library only through it, so that a test can stand a counting or
// failing layer in front of the real library.
struct CoreApi {
    decltype(&IQ_SDAInit) SDAInit;
    decltype(&IQ_SDAAddFile) SDAAddFile;
    decltype(&IQ_SDAAddDir) SDAAddDir;
    decltype(&IQ_SDAFinal) SDAFinal;
    decltype(&IQ_WipeInit) WipeInit;
    decltype(&IQ_WipeFile) WipeFile;
    decltype(&IQ_WipeDir) WipeDir;
    decltype(&IQ_WipeFinal) WipeFinal;
    decltype(&IQ_RmFile) RmFile;
    decltype(&IQ_RmDir) RmDir;
    decltype(&IQ_RndGetBytes) RndGetBytes;
};

// The table of the library's own exports.
const CoreApi& realCoreApi();
