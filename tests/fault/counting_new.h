// counting_new.h - what the sweep's replaced operator new keeps count of.
#pragma once

#include <cstdint>

namespace tovra::faulttest {

// Blocks from operator new (any form) not yet given back to operator delete.
int64_t LiveBlocks();

}  // namespace tovra::faulttest
