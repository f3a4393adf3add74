#include "frontend/generators/keyfile_writer.h"

#include "common/keyfile_writer.h"
#include "frontend/app/core_api.h"
#include "frontend/app/native_path.h"

KeyfileWrite writeKeyfile(const QString& path, int size, const CoreApi& core)
{
    switch (WriteKeyfile(nativeFromPath(path).toStdString(), static_cast<std::uint32_t>(size > 0 ? size : 0),
                         core.RndGetBytes)) {
    case KeyfileResult::Ok: return KeyfileWrite::Done;
    case KeyfileResult::RandomFailed: return KeyfileWrite::RandomFailed;
    case KeyfileResult::CannotCreate: break;
    }
    return KeyfileWrite::FileFailed;
}
