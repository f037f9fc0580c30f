// The INI reader against the behaviour of the Windows profile call for one string:
// a table of files, truncation, malformed input, and random files against a model.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ini_reader.h"

using velmora::IniValue;
using velmora::readIniValue;

namespace {

constexpr char kDefault[] = "lumacast.rpi";

struct Lookup {
    std::string value;
    IniValue result;
};

Lookup lookup(const std::string& text, size_t room = 260, const char* section = "Velmora",
              const char* key = "filter") {
    std::vector<char> out(room + 8, '#');
    Lookup l;
    l.result = readIniValue(text.data(), text.size(), section, key, kDefault, out.data(), room);
    if (room > 0) {
        EXPECT_EQ(out[l.result.length], '\0');
        l.value.assign(out.data(), l.result.length);
    }
    for (size_t i = room; i < out.size(); ++i) EXPECT_EQ(out[i], '#') << "wrote past the room at " << i;
    return l;
}

// A literal with its embedded NULs.
#define BYTES(lit) std::string(lit, sizeof(lit) - 1)

struct Case {
    const char* label;
    std::string text;
    const char* value;  // nullptr: the default comes back
};

// Expected values are those the Windows profile call gives (checked against Wine's).
const std::vector<Case>& cases() {
    static const std::vector<Case> c = {
        {"plain", "[Velmora]\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"names ignore case", "[VELMORA]\nFILTER=duplix.rpi\n", "duplix.rpi"},
        {"blanks around everything", "  [Velmora]  \n  filter  =   duplix.rpi   \n", "duplix.rpi"},
        {"blanks inside brackets", "[ Velmora ]\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"tabs", "[Velmora]\n\tfilter\t=\tduplix.rpi\t\n", "duplix.rpi"},
        {"CRLF", "[Velmora]\r\nfilter=duplix.rpi\r\n", "duplix.rpi"},
        {"lone CR", "[Velmora]\rfilter=duplix.rpi\r", "duplix.rpi"},
        {"no newline at the end", "[Velmora]\nfilter=duplix.rpi", "duplix.rpi"},
        {"end-of-file mark and VT/FF trimmed", "[Velmora]\nfilter=duplix.rpi\x1a\v\f\n", "duplix.rpi"},
        {"double quotes", "[Velmora]\nfilter=\"duplix.rpi\"\n", "duplix.rpi"},
        {"single quotes", "[Velmora]\nfilter='duplix.rpi'\n", "duplix.rpi"},
        {"blanks inside quotes kept", "[Velmora]\nfilter=\" duplix.rpi \"\n", " duplix.rpi "},
        {"mismatched quotes kept", "[Velmora]\nfilter=\"duplix.rpi'\n", "\"duplix.rpi'"},
        {"one quote alone", "[Velmora]\nfilter=\"\n", "\""},
        {"empty quotes", "[Velmora]\nfilter=\"\"\n", ""},
        {"only the outer pair", "[Velmora]\nfilter=\"\"a\"\"\n", "\"a\""},
        {"empty value", "[Velmora]\nfilter=\n", ""},
        {"blank value", "[Velmora]\nfilter=   \t\n", ""},
        {"key without '='", "[Velmora]\nfilter\n", nullptr},
        {"split at the first '='", "[Velmora]\nfilter==a=b\n", "=a=b"},
        {"comment line", "[Velmora]\n;filter=a.rpi\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"indented comment", "[Velmora]\n  ; filter=a.rpi\n", nullptr},
        {"'#' is part of the key", "[Velmora]\n#filter=a.rpi\n", nullptr},
        {"';' after a value is kept", "[Velmora]\nfilter=duplix.rpi ; note\n", "duplix.rpi ; note"},
        {"blank inside the key", "[Velmora]\nfil ter=x\n", nullptr},
        {"empty key", "[Velmora]\n=x\nfilter=y\n", "y"},
        {"duplicate key: first wins", "[Velmora]\nfilter=a.rpi\nfilter=b.rpi\n", "a.rpi"},
        {"duplicate section: first wins", "[Velmora]\nfilter=a.rpi\n[Velmora]\nfilter=b.rpi\n", "a.rpi"},
        {"only the first section is searched", "[Velmora]\nx=1\n[Other]\n[velmora]\nfilter=b.rpi\n", nullptr},
        {"other section's key", "[Other]\nfilter=a.rpi\n[Velmora]\nfilter=b.rpi\n[Other]\n", "b.rpi"},
        {"key before any section", "filter=duplix.rpi\n", nullptr},
        {"section without ']'", "[Velmora\nfilter=duplix.rpi\n", nullptr},
        {"unclosed header keeps the section", "[Velmora]\n[Other\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"text after ']'", "[Velmora] junk\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"name runs to the last ']'", "[Velmora]]\nfilter=duplix.rpi\n", nullptr},
        {"missing section", "[Other]\nfilter=duplix.rpi\n", nullptr},
        {"missing key", "[Velmora]\nfilters=duplix.rpi\nfilte=x\n", nullptr},
        {"empty file", "", nullptr},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[Velmora]\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"byte order mark not at the start", "\n\xEF\xBB\xBF[Velmora]\nfilter=duplix.rpi\n", nullptr},
        {"UTF-16 LE", BYTES("\xFF\xFE[\0V\0e\0l\0m\0o\0r\0a\0]\0\r\0\n\0f\0i\0l\0t\0e\0r\0=\0d\0.\0r\0p\0i\0"),
         "d.rpi"},
        {"UTF-16 BE", BYTES("\xFE\xFF\0[\0V\0e\0l\0m\0o\0r\0a\0]\0\n\0f\0i\0l\0t\0e\0r\0=\0\xE9\0x"),
         "\xC3\xA9x"},
        {"NUL ends a value", BYTES("[Velmora]\nfilter=dup\0lix.rpi\n"), "dup"},
        {"NUL ends a key", BYTES("[Velmora]\nfil\0ter=x\nfilter=duplix.rpi\n"), "duplix.rpi"},
        {"NUL ends a section name", BYTES("[Velmora\0x]\nfilter=duplix.rpi\n"), "duplix.rpi"},
        {"subdirectory in the value", "[Velmora]\nfilter=sub/duplix.rpi\n", "sub/duplix.rpi"},
    };
    return c;
}

TEST(IniReader, BehavesAsTheProfileCall) {
    for (const Case& c : cases()) {
        const Lookup l = lookup(c.text);
        EXPECT_EQ(l.value, c.value ? c.value : kDefault) << c.label;
        EXPECT_EQ(l.result.found, c.value != nullptr) << c.label;
        EXPECT_FALSE(l.result.truncated) << c.label;
    }
}

TEST(IniReader, LookupNamesAreTrimmedAndMatchInAnyCase) {
    const std::string text = "[Other]\nKey = 1\n[Velmora]\nkey = 2\n";
    EXPECT_EQ(lookup(text, 260, " velmora ", "KEY ").value, "2");
    EXPECT_EQ(lookup(text, 260, "OTHER", " key").value, "1");
}

TEST(IniReader, CutsToTheRoomAndSaysSo) {
    const std::string a300(300, 'a');
    Lookup l = lookup("[Velmora]\nfilter=" + a300 + "\n");
    EXPECT_EQ(l.value, std::string(259, 'a'));
    EXPECT_TRUE(l.result.found);
    EXPECT_TRUE(l.result.truncated);

    l = lookup("[Velmora]\nfilter=" + std::string(259, 'b') + "\n");
    EXPECT_EQ(l.value, std::string(259, 'b'));
    EXPECT_FALSE(l.result.truncated);

    // Quotes come off before the cut: 259 characters between them still fit.
    l = lookup("[Velmora]\nfilter=\"" + std::string(259, 'c') + "\"\n");
    EXPECT_EQ(l.value, std::string(259, 'c'));
    EXPECT_FALSE(l.result.truncated);

    l = lookup("[Velmora]\nfilter=abcdef\n", 4);
    EXPECT_EQ(l.value, "abc");
    EXPECT_TRUE(l.result.truncated);

    l = lookup("", 5);  // the default is cut the same way
    EXPECT_EQ(l.value, "luma");
    EXPECT_FALSE(l.result.found);
    EXPECT_TRUE(l.result.truncated);

    l = lookup("[Velmora]\nfilter=x\n", 0);  // no room at all: nothing written
    EXPECT_EQ(l.result.length, 0u);
    EXPECT_TRUE(l.result.truncated);
}

TEST(IniReader, MalformedFilesGiveAnAnswer) {
    const std::string tenMb(10u << 20, 'z');
    std::mt19937 rng(7);
    std::string garbage(1u << 20, '\0');
    for (char& ch : garbage) ch = static_cast<char>(rng());
    std::string crs(1u << 20, '\r');
    std::string brackets(1u << 20, '[');
    std::string sections;
    for (int i = 0; i < 100000; ++i) sections += "[Velmora]\n";

    struct Malformed {
        const char* label;
        std::string text;
        const char* value;
    } table[] = {
        {"10 MB value", "[Velmora]\nfilter=" + tenMb + "\n", nullptr},
        {"10 MB line before the entry", tenMb + "\n[Velmora]\nfilter=duplix.rpi", "duplix.rpi"},
        {"10 MB key", "[Velmora]\n" + tenMb + "=x\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"10 MB section name", "[" + tenMb + "]\nfilter=x\n[Velmora]\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"binary garbage", garbage, kDefault},
        {"garbage then the entry", garbage + "\n[Velmora]\nfilter=duplix.rpi\n", "duplix.rpi"},
        {"1 MB of CR", crs, kDefault},
        {"1 MB of '['", brackets, kDefault},
        {"100000 empty sections of the name", sections + "filter=duplix.rpi\n", kDefault},
        {"odd-sized UTF-16", BYTES("\xFF\xFE[\0V\0e\0l\0m\0o\0r\0a\0]\0\n\0f\0i\0l\0t\0e\0r\0=\0d\0!"), "d"},
        {"UTF-16 lone surrogate", BYTES("\xFF\xFE[\0V\0e\0l\0m\0o\0r\0a\0]\0\n\0f\0i\0l\0t\0e\0r\0=\0\x00\xD8x\0"),
         "\xEF\xBF\xBDx"},
        {"byte order mark alone", "\xEF\xBB\xBF", kDefault},
        {"UTF-16 mark alone", "\xFF\xFE", kDefault},
    };
    for (const Malformed& m : table) {
        const Lookup l = lookup(m.text);
        if (m.value) {
            EXPECT_EQ(l.value, m.value) << m.label;
        } else {
            EXPECT_EQ(l.value, std::string(259, 'z')) << m.label;  // the long value, cut
            EXPECT_TRUE(l.result.truncated) << m.label;
        }
    }
    for (int seed = 0; seed < 200; ++seed) {
        rng.seed(static_cast<unsigned>(seed));
        std::string text(rng() % 4096, '\0');
        for (char& ch : text) ch = static_cast<char>(rng());
        const Lookup l = lookup(text, 1 + rng() % 300);
        EXPECT_LE(l.value.size(), 299u);
    }
}

// Reference model written from the rules, on whole strings.
std::string trimmed(const std::string& s) {
    const char* blanks = " \t\r\n\v\f\x1a";
    const size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}
std::string cString(const std::string& s) { return s.substr(0, s.find('\0')); }
bool sameIgnoringCase(std::string a, std::string b) {
    for (std::string* s : {&a, &b})
        for (char& ch : *s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return a == b;
}

std::optional<std::string> modelLookup(std::string text, const std::string& section, const std::string& key) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<std::string> lines(1);
    for (char ch : text) {
        if (ch == '\n' || ch == '\r')
            lines.emplace_back();
        else
            lines.back() += ch;
    }
    bool inside = false, seen = false;
    for (const std::string& raw : lines) {
        const std::string line = trimmed(raw);
        if (line.empty() || line[0] == ';') continue;
        const size_t close = line.rfind(']');
        if (line[0] == '[' && close != std::string::npos) {
            if (inside) return std::nullopt;
            inside = !seen && sameIgnoringCase(cString(trimmed(line.substr(1, close - 1))), section);
            seen = seen || inside;
            continue;
        }
        const size_t eq = line.find('=');
        if (!inside || eq == std::string::npos) continue;
        if (!sameIgnoringCase(cString(trimmed(line.substr(0, eq))), key)) continue;
        std::string v = cString(trimmed(line.substr(eq + 1)));
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
        return v;
    }
    return std::nullopt;
}

TEST(IniReader, RandomFilesAgreeWithTheModel) {
    static const char* const pieces[] = {
        "[Velmora]", "[VELMORA]", " [ velmora ] ", "[Other]", "[Velmora", "[Velmora]]", "[Vel]mora]", "[]",
        "filter=a.rpi", " Filter = \"b c\" ", "filter='x'", "filter=", "filter", "FILTER==q", ";filter=c",
        "#filter=d", "=e", "fil ter=f", "filter\t=\tg\x1a", "\"", "'", "]", "[", "=", ";", "\xEF\xBB\xBF",
    };
    static const char* const breaks[] = {"\n", "\r\n", "\r", "", " ", "\t"};
    std::mt19937 rng(20240611);
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::string text;
        const int parts = static_cast<int>(rng() % 12);
        for (int p = 0; p < parts; ++p) {
            if (rng() % 8 == 0) {
                for (unsigned n = rng() % 6; n > 0; --n) text += static_cast<char>(rng());
            } else {
                text += pieces[rng() % (sizeof pieces / sizeof *pieces)];
            }
            text += breaks[rng() % (sizeof breaks / sizeof *breaks)];
        }
        if (text.size() >= 2 && static_cast<unsigned char>(text[0]) >= 0xFE) text.insert(0, "\n");
        const size_t room = rng() % 4 == 0 ? 1 + rng() % 6 : 260;
        const std::optional<std::string> want = modelLookup(text, "Velmora", "filter");
        const std::string full = want ? *want : kDefault;
        const Lookup got = lookup(text, room);
        ASSERT_EQ(got.value, full.substr(0, room - 1)) << "file: " << ::testing::PrintToString(text);
        ASSERT_EQ(got.result.found, want.has_value()) << ::testing::PrintToString(text);
        ASSERT_EQ(got.result.truncated, full.size() > room - 1) << ::testing::PrintToString(text);
    }
}

}  // namespace
