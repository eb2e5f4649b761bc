// cos_memadvise.hpp: hints to the operating system about how memory is
// going to be used.
#ifndef COS_MEMADVISE_HPP
#define COS_MEMADVISE_HPP

// A hint that `block` (`size` bytes, from the memory manager) is large and
// is about to be written through: with the system memory manager, the part
// of it aligned to 2 MB may be backed by huge pages (on Linux, where the
// system offers them on request), which spares a page fault per 4 KB on
// first touch. Does nothing for blocks under 4 MB, with a user-defined
// memory manager, or where the system declines; never fails.
void cosAdviseLargeBlock(void* block, unsigned int size);

#endif  // COS_MEMADVISE_HPP
