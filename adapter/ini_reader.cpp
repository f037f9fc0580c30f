#include "ini_reader.h"

#include <cstring>
#include <string>

namespace velmora {
namespace {

struct Span {
    const char* p;
    size_t n;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

Span trim(Span s) {
    while (s.n > 0 && isBlank(s.p[0])) ++s.p, --s.n;
    while (s.n > 0 && isBlank(s.p[s.n - 1])) --s.n;
    return s;
}

// Names and values are C strings to the profile API: an embedded NUL ends them.
Span cutAtNul(Span s) {
    const void* nul = std::memchr(s.p, '\0', s.n);
    if (nul) s.n = static_cast<size_t>(static_cast<const char*>(nul) - s.p);
    return s;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(Span a, Span b) {
    if (a.n != b.n) return false;
    for (size_t i = 0; i < a.n; ++i)
        if (lowerAscii(a.p[i]) != lowerAscii(b.p[i])) return false;
    return true;
}

const char* lastOf(Span s, char c) {
    for (size_t i = s.n; i > 0; --i)
        if (s.p[i - 1] == c) return s.p + i - 1;
    return nullptr;
}

IniValue copyOut(Span v, bool found, char* out, size_t room) {
    IniValue r;
    r.found = found;
    if (room == 0) {
        r.truncated = v.n > 0;
        return r;
    }
    r.length = v.n < room ? v.n : room - 1;
    r.truncated = r.length < v.n;
    std::memcpy(out, v.p, r.length);
    out[r.length] = '\0';
    return r;
}

void appendUtf8(std::string& s, unsigned cp) {
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 text after its byte order mark; a lone surrogate becomes U+FFFD, an odd last
// byte is dropped.
std::string utf16ToUtf8(const unsigned char* p, size_t size, bool bigEndian) {
    std::string s;
    s.reserve(size / 2);
    const size_t units = size / 2;
    auto unit = [&](size_t i) -> unsigned {
        const unsigned a = p[2 * i], b = p[2 * i + 1];
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (size_t i = 0; i < units; ++i) {
        unsigned u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        appendUtf8(s, u);
    }
    return s;
}

IniValue lookup(Span text, Span section, Span key, const char* def, char* out, size_t room) {
    bool inSection = false;
    bool sectionSeen = false;
    const char* p = text.p;
    const char* const end = text.p + text.n;
    while (p < end) {
        const char* e = p;
        while (e < end && *e != '\n' && *e != '\r') ++e;
        const Span line = trim({p, static_cast<size_t>(e - p)});
        p = e < end ? e + 1 : end;
        if (line.n == 0 || line.p[0] == ';') continue;
        if (line.p[0] == '[') {
            const char* close = lastOf(line, ']');
            if (close) {
                const Span name = cutAtNul(trim({line.p + 1, static_cast<size_t>(close - line.p - 1)}));
                if (inSection) break;  // the first section of that name has ended
                inSection = !sectionSeen && sameName(name, section);
                sectionSeen = sectionSeen || inSection;
                continue;
            }
            // No ']': not a section header; read on as an ordinary line.
        }
        if (!inSection) continue;
        const void* eq = std::memchr(line.p, '=', line.n);
        if (!eq) continue;
        const size_t keyLength = static_cast<size_t>(static_cast<const char*>(eq) - line.p);
        if (!sameName(cutAtNul(trim({line.p, keyLength})), key)) continue;
        Span value = cutAtNul(trim({line.p + keyLength + 1, line.n - keyLength - 1}));
        if (value.n >= 2 && (value.p[0] == '"' || value.p[0] == '\'') && value.p[value.n - 1] == value.p[0]) {
            ++value.p;
            value.n -= 2;
        }
        return copyOut(value, true, out, room);
    }
    return copyOut({def, std::strlen(def)}, false, out, room);
}

}  // namespace

IniValue readIniValue(const char* text, size_t size, const char* section, const char* key, const char* def,
                      char* out, size_t room) {
    const Span sectionName = trim({section, std::strlen(section)});
    const Span keyName = trim({key, std::strlen(key)});
    const unsigned char* u = reinterpret_cast<const unsigned char*>(text);
    if (size >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) {
        const std::string decoded = utf16ToUtf8(u + 2, size - 2, u[0] == 0xFE);
        return lookup({decoded.data(), decoded.size()}, sectionName, keyName, def, out, room);
    }
    if (size >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
        text += 3;
        size -= 3;
    }
    return lookup({text, size}, sectionName, keyName, def, out, room);
}

}  // namespace velmora
