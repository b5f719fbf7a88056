// Long runs of ASCII in ISO-2022-JP work, with the widest vectors the processor has.
#pragma once

#include <cstddef>

namespace nkf {

// Copies 64-byte blocks from p to o while a block holds only ASCII bytes outside 0x0E-0x1B
// (so no SO, SI or ESC), looking at no more than n bytes; returns the bytes copied, and writes
// no others. Where no wide vectors are to be had,
// it copies nothing and the caller's own loop goes on.
std::size_t CopyJisAsciiBlocks(const unsigned char* p, std::size_t n, unsigned char* o);

}  // namespace nkf
