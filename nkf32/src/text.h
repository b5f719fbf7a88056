// Transformations of Shift_JIS text besides code conversion.
#pragma once

#include <string>
#include <string_view>

namespace nkf {

// Full-width ASCII (U+FF01-U+FF5E), the ideographic space and full-width katakana with their
// punctuation become half-width; a voiced katakana becomes two half-width characters. Never
// longer than the input; every other byte stays as it is.
std::string ToHankaku(std::string_view sjis);

// Half-width katakana become full-width; a voiced or semi-voiced mark joins the kana before it
// where such a character exists. Every other byte stays as it is.
std::string ToZenkakuKana(std::string_view sjis);

// A mail subject: unchanged when it is all ASCII, else ISO-2022-JP in Base64 encoded words
// "=?ISO-2022-JP?B?...?=" of at most 75 characters, each starting and ending in ASCII, joined by
// CRLF and a space.
std::string EncodeSubject(std::string_view sjis);

}  // namespace nkf
