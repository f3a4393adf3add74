#include "frontend/result_messages.h"

QString archiveResultMessage(CoreResult code)
{
    switch (code) {
    case IQ_OUT_OF_MEMORY: return QStringLiteral("Not enaugh memory!");
    case IQ_KEYFILE_ERROR: return QStringLiteral("Can not open keyfile!");
    case IQ_INPUT_DIR_ERROR: return QStringLiteral("Can not open input directory!");
    case IQ_INPUT_FILE_ERROR: return QStringLiteral("Can not open input file!");
    case IQ_ARCHIVE_ERROR: return QStringLiteral("Can not create archive file!");
    case IQ_COMPRESSION_ERROR: return QStringLiteral("Compression error!");
    case IQ_RANDOM_ERROR: return QStringLiteral("Can not generate random bytes!");
    default: return {};
    }
}

QString wipeResultMessage(CoreResult code)
{
    switch (code) {
    case IQ_OUT_OF_MEMORY:
    case IQ_INPUT_DIR_ERROR:
    case IQ_INPUT_FILE_ERROR:
    case IQ_RANDOM_ERROR:
        return archiveResultMessage(code);
    default:
        return {};
    }
}
