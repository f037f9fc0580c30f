// Finds one value in the text of an INI file the way the Windows profile call does for a
// single string lookup. Pure: text in, value out, no file access.
//
// Rules:
//  - Lines end at LF or CR (so CRLF, LF and lone CR all work). A UTF-8 byte order mark
//    at the start is skipped; text starting with a UTF-16 mark (LE or BE) is decoded
//    to UTF-8 first.
//  - Blanks (space, tab, CR, LF, VT, FF and the 0x1A end-of-file mark) are trimmed
//    around section names, keys and values. Names and values end at a NUL byte.
//  - "[name]" opens a section; the name runs to the last ']' of the line and anything
//    after it is ignored. A line starting with ';' is a comment. A line without '=' is
//    not a key; a key is split at its first '='.
//  - Section and key names match case-insensitively (ASCII).
//  - The first section of the wanted name is the only one searched, and the first
//    matching key in it wins: later duplicates are ignored.
//  - One pair of matching surrounding quotes (" or ') is removed from the value.
//  - A present key with an empty value gives ""; a missing section or key gives `def`.
//  - The result is cut to room - 1 characters and always NUL-terminated (room > 0).
#ifndef VELMORA_INI_READER_H
#define VELMORA_INI_READER_H

#include <cstddef>

namespace velmora {

struct IniValue {
    size_t length = 0;      // characters written to out, without the NUL
    bool found = false;     // the key was present (false: the default was used)
    bool truncated = false; // the value or default did not fit and was cut
};

IniValue readIniValue(const char* text, size_t size, const char* section, const char* key, const char* def,
                      char* out, size_t room);

}  // namespace velmora

#endif
