#include "freedmemory.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

void returnFreedMemory()
{
#if defined(__GLIBC__)
    // Zero padding: no spare room is kept at the top of the heap; the free
    // pages inside it are released as well.
    malloc_trim(0);
#endif
}
