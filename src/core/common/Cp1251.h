#pragma once

#include <string>
#include <string_view>

namespace registrator::common {

// Windows-1251 bytes to UTF-8.
std::string Cp1251ToUtf8(std::string_view cp1251);
// UTF-8 to Windows-1251; a character that Windows-1251 lacks (or a malformed sequence) becomes '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// A text file's bytes as Windows-1251. A file edited on a modern system comes as UTF-8, often with a
// byte-order mark: the mark is dropped, and a text that is valid UTF-8 and holds non-ASCII bytes is
// converted (Windows-1251 Cyrillic is practically never valid UTF-8). UTF-16, little or big endian,
// is converted after its mark or, without one, when its zero bytes show it. Any other text comes
// back as it is.
std::string TextFileToCp1251(std::string bytes);

// UTF-8 text with its first character as it is and every further letter in lower case (Latin,
// Greek and Cyrillic letters; other characters and malformed bytes unchanged).
std::string LowerCaseAfterFirstCharacter(std::string_view utf8);

} // namespace registrator::common
