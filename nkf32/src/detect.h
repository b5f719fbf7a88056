#pragma once

#include <cstddef>

namespace nkf {

// The codes the engine reads. UTF-16 is read only when detected from its byte-order mark.
enum class Code { kShiftJis, kJis, kEucJp, kUtf8, kUtf16Le, kUtf16Be };

// The code of the whole input, chosen when the options name no input code.
Code DetectCode(const unsigned char* data, std::size_t size);

}  // namespace nkf
