// The library's C interface. Nothing is thrown across it: an exception from
// inside (only an allocation can throw) becomes a failed result.
#include "azpack.h"

#include "operations.h"

extern "C" {

azpack_bool compressFile(const char *source, const char *target)
{
    try {
        azpack::ProgressLog log;
        return azpack::compressFileToFile(source, target, azpack::FileOps::system(), log) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

azpack_bool uncompressFile(const char *source, const char *target)
{
    try {
        azpack::ProgressLog log;
        return azpack::restoreFileToFile(source, target, azpack::FileOps::system(), log) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

azpack_bool compressString(const char *text, const char *target)
{
    try {
        azpack::ProgressLog log;
        return azpack::compressTextToFile(text, target, azpack::FileOps::system(), log) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

const char *uncompressFileToString(const char *source)
{
    try {
        azpack::ProgressLog log;
        return azpack::restoreFileToText(source, log);
    } catch (...) {
        return nullptr;
    }
}

} // extern "C"
