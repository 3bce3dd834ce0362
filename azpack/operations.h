// The four operations behind the exports, with the file system calls and the
// log passed in so that tests can inject failures and capture the log.
#ifndef AZPACK_OPERATIONS_H
#define AZPACK_OPERATIONS_H

#include "io/fileops.h"
#include "progresslog.h"

namespace azpack {

bool compressTextToFile(const char *text, const char *target, FileOps &ops, ProgressLog &log);
bool compressFileToFile(const char *source, const char *target, FileOps &ops, ProgressLog &log);
bool restoreFileToFile(const char *source, const char *target, FileOps &ops, ProgressLog &log);
// The text lives in a per-thread buffer that the next call on the same
// thread frees.
const char *restoreFileToText(const char *source, ProgressLog &log);

} // namespace azpack

#endif
