#pragma once

#include <string>

#include "conv/Tnkf.h"

namespace quillora {

// The code choices of the window. Source: 0 detection, 1 Shift_JIS, 2 JIS, 3 EUC-JP, 4 UTF-8.
// Target: 0 Shift_JIS, 1 JIS, 2 EUC-JP, 3 UTF-8. The lists are offset by one, so source and
// target name the same code exactly when source == target + 1.

// The bytes to write for the file at path: its bytes converted through nkf with the options
// of the two choices, or, when the two name the same code, its bytes unchanged without nkf
// being used at all. Raises NkfException with the adapter's text when the conversion fails;
// the reader's errors pass out unchanged.
std::string ConvertFileBytes(TNkf& nkf, const std::u16string& path, int charset_from,
                             int charset_to);

// False exactly when the two choices name the same code.
bool NeedsConversion(int charset_from, int charset_to);

// The source letter (S, J, E, W; none for detection or an unknown value) followed by the target
// letter (s, j, e, w; none for an unknown value). Nothing else is ever added.
std::string MakeNkfOption(int charset_from, int charset_to);

}  // namespace quillora
