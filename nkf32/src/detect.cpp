#include "detect.h"

namespace nkf {

// Until the input's code is detected from its text, undeclared input is read as Shift_JIS.
Code DetectCode(const unsigned char*, std::size_t) {
  return Code::kShiftJis;
}

}  // namespace nkf
