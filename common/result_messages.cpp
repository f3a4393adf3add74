#include "common/result_messages.h"

std::string_view CoreResultText(CoreResult result)
{
    switch (result) {
    case IQ_OUT_OF_MEMORY:
        return "Not enaugh memory!";
    case IQ_KEYFILE_ERROR:
        return "Can not open keyfile!";
    case IQ_INPUT_DIR_ERROR:
        return "Can not open input directory!";
    case IQ_INPUT_FILE_ERROR:
        return "Can not open input file!";
    case IQ_ARCHIVE_ERROR:
        return "Can not create archive file!";
    case IQ_COMPRESSION_ERROR:
        return "Compression error!";
    case IQ_RANDOM_ERROR:
        return "Can not generate random bytes!";
    default:
        return {};
    }
}

std::string_view WipeResultText(CoreResult result)
{
    switch (result) {
    case IQ_OUT_OF_MEMORY:
    case IQ_INPUT_DIR_ERROR:
    case IQ_INPUT_FILE_ERROR:
    case IQ_RANDOM_ERROR:
        return CoreResultText(result);
    default:
        return {};
    }
}
