#pragma once
// Text is UTF-8 inside the program; the card texts, table fields and exports
// count and store it in GBK (code page 936). These helpers convert between the
// two and cut texts to a byte width without splitting a character.
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrelo {

// UTF-8 to GBK. Characters GBK cannot hold become '?'. Throws Error on text
// that is not valid UTF-8.
std::string Utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. Throws Error on bytes that are not valid GBK.
std::string GbkToUtf8(std::string_view gbk);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// Bytes the text takes in GBK.
std::size_t GbkLength(std::string_view utf8);

// The longest prefix of the text that takes at most maxBytes in GBK; never
// ends inside a character.
std::string CutToGbkBytes(std::string_view utf8, std::size_t maxBytes);

}  // namespace kestrelo
