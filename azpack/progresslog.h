// The progress log on standard output. A step's heading is written first and
// its outcome completes the line, which is then flushed, so an interrupted run
// shows the step it was in.
#ifndef AZPACK_PROGRESSLOG_H
#define AZPACK_PROGRESSLOG_H

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace azpack {

class ProgressLog {
public:
    explicit ProgressLog(std::FILE *out = stdout);

    void text(std::string_view part);
    void number(std::uint64_t value);
    // Writes the final part, ends the line and flushes it.
    void endLine(std::string_view last = {});

private:
    std::FILE *out_;
};

} // namespace azpack

#endif
