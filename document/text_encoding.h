// How the 8-bit texts of a mod file are shown to the user.
//
// The document keeps every text as the bytes it was read as. To show them, a
// document is decoded as UTF-8 when all of its bytes are strict UTF-8 (YaBB 2.7
// and its language packs are), and as Windows-1252 otherwise (older mods written
// on Windows). Both mappings are one-to-one on the bytes they accept, so a text
// that the user does not touch goes back to disk byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvale {

enum class TextEncoding { Utf8, Windows1252 };

// True when the bytes are strict UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

TextEncoding detectEncoding(std::string_view bytes);

// Windows-1252 as a bijection of all 256 bytes: the five bytes that the code
// page leaves undefined map to the C1 controls of the same value, as Windows
// itself converts them.
char16_t windows1252ToUnicode(unsigned char byte);

// The byte for a UTF-16 code unit, or -1 when Windows-1252 has none.
int unicodeToWindows1252(char16_t unit);

// The same characters in UTF-8.
std::string windows1252ToUtf8(std::string_view bytes);

// How many UTF-16 code units the bytes make when decoded: one per byte for
// Windows-1252; for valid UTF-8 one per character, two above U+FFFF.
std::size_t utf16Length(std::string_view bytes, TextEncoding encoding);

} // namespace torvale
