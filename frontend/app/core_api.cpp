#include "frontend/app/core_api.h"

const CoreApi& realCoreApi()
{
    static const CoreApi api{IQ_SDAInit, IQ_SDAAddFile, IQ_SDAAddDir, IQ_SDAFinal,
                             IQ_WipeInit, IQ_WipeFile, IQ_WipeDir, IQ_WipeFinal,
                             IQ_RmFile, IQ_RmDir, IQ_RndGetBytes};
    return api;
}
