#pragma once

// Gives the heap pages that hold nothing any more back to the system.
//
// Loading or scanning a big library frees far more than it keeps: the
// restored text, the lookup table of shared texts and the columns' grown
// arrays. The C library keeps such pages mapped for later allocations, so
// without this the program would stay as large as that short peak for as
// long as it runs. Cheap enough to call once after each big load.
void returnFreedMemory();
