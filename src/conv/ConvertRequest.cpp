#include "conv/ConvertRequest.h"

#include <cstdint>

#include "util/Tfileutility.h"

namespace quillora {

std::string ConvertFileBytes(TNkf& nkf, const std::u16string& path, int charset_from,
                             int charset_to) {
  if (!NeedsConversion(charset_from, charset_to))
    return ReadFileBytes(path);

  const std::string options = MakeNkfOption(charset_from, charset_to);
  std::string result;
  {
    // The input is released as soon as it is converted, before the result is handed back.
    const std::string input = ReadFileBytes(path);
    if (nkf.convert(input, result, options) != 0)
      throw NkfException(nkf.get_error_message());
  }
  return result;
}

bool NeedsConversion(int charset_from, int charset_to) {
  // Widened, so that target + 1 cannot overflow for any value the caller passes.
  return static_cast<std::int64_t>(charset_from) != static_cast<std::int64_t>(charset_to) + 1;
}

std::string MakeNkfOption(int charset_from, int charset_to) {
  std::string options;
  switch (charset_from) {
    case 1:
      options += 'S';
      break;
    case 2:
      options += 'J';
      break;
    case 3:
      options += 'E';
      break;
    case 4:
      options += 'W';
      break;
    default:
      break;  // 0 is detection; other values name no code
  }
  switch (charset_to) {
    case 0:
      options += 's';
      break;
    case 1:
      options += 'j';
      break;
    case 2:
      options += 'e';
      break;
    case 3:
      options += 'w';
      break;
    default:
      break;
  }
  return options;
}

}  // namespace quillora
