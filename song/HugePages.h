#pragma once

#include <cstddef>

// Asks the system to back the whole 2 MB pages inside [data, data + bytes) with huge pages
// when they are first touched: a large buffer then costs one page fault per 2 MB instead of
// one per 4 KB. Only advice: nothing changes when the system does not take it. Call it
// before the memory is first written.
void AdviseHugePages(void* data, std::size_t bytes);
