#pragma once

// FFmpeg's libraries and the ninety-odd libraries they pull in are opened at
// run time rather than by the program loader: opening them costs more
// processor time than the rest of the start-up of the window, and nothing
// decodes before the user plays something. The decoding code calls FFmpeg as
// usual; the calls go through forwarders that open the libraries on first use.

namespace audio {

// Starts opening the libraries on a thread of their own, so that the first
// song need not wait for them. Returns at once; later calls do nothing.
void preloadMediaLibraries();

// $MELODECK_FFMPEG_DIR, when set, is the folder the libraries are opened
// from instead of the loader's search path.

// Opens the libraries on this thread unless that has been done (or is being
// done, then it waits). False when they cannot be opened: nothing decodes.
bool mediaLibrariesLoaded();

// The address of one FFmpeg function, after the libraries are open. A
// function that the opened library lacks ends the program with a message:
// the forwarder that asks for it has nothing to call.
void *mediaSymbol(const char *name);

}  // namespace audio
