#include "platform/RegFile.h"

#include <cstdio>

#include "platform/UserStore.h"

namespace {

constexpr std::string_view kHeader = "REGEDIT4";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    out += '"';
}

// Reads a quoted text starting at pos (which holds the opening quote); pos ends after the closing quote.
bool ParseQuoted(std::string_view line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= line.size()) return false;
            c = line[pos];
            if (c == 'n')
                c = '\n';
            else if (c == 'r')
                c = '\r';
        }
        out += c;
    }
    return false;  // no closing quote: a cut-off line
}

bool ParseDword(std::string_view digits, std::string& bytes) {
    if (digits.size() != 8) return false;
    std::uint32_t v = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    bytes.clear();
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xff);
    return true;
}

bool ParseHexBytes(std::string_view list, std::string& bytes) {
    bytes.clear();
    if (list.empty()) return true;
    std::size_t pos = 0;
    while (true) {
        if (pos + 2 > list.size()) return false;
        const int hi = HexDigit(list[pos]), lo = HexDigit(list[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>(hi * 16 + lo);
        pos += 2;
        if (pos == list.size()) return true;
        if (list[pos] != ',') return false;
        ++pos;
    }
}

bool ParseValue(std::string_view line, std::string& name, StoreValue& value) {
    std::size_t pos = 0;
    if (!ParseQuoted(line, pos, name)) return false;
    if (pos >= line.size() || line[pos] != '=') return false;
    const std::string_view rest = line.substr(pos + 1);
    if (rest.starts_with('"')) {
        std::size_t p = 0;
        std::string text;
        if (!ParseQuoted(rest, p, text) || p != rest.size()) return false;
        value.type = kRegSz;
        value.bytes = text + '\0';
        return true;
    }
    if (rest.starts_with("dword:")) {
        value.type = kRegDword;
        return ParseDword(rest.substr(6), value.bytes);
    }
    if (rest.starts_with("hex:")) {
        value.type = 3;
        return ParseHexBytes(rest.substr(4), value.bytes);
    }
    if (rest.starts_with("hex(")) {
        const auto close = rest.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        std::uint32_t type = 0;
        for (char c : rest.substr(4, close - 4)) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            type = (type << 4) | static_cast<std::uint32_t>(d);
        }
        value.type = type;
        return ParseHexBytes(rest.substr(close + 2), value.bytes);
    }
    return false;
}

// Texts the quoted form holds exactly: one terminating zero and no other.
bool FitsQuotedForm(const StoreValue& v) {
    return v.type == kRegSz && !v.bytes.empty() && v.bytes.back() == '\0' &&
           v.bytes.find('\0') == v.bytes.size() - 1;
}

void AppendValue(std::string& out, const std::string& name, const StoreValue& v) {
    AppendQuoted(out, name);
    out += '=';
    char buf[32];
    if (FitsQuotedForm(v)) {
        AppendQuoted(out, std::string_view(v.bytes).substr(0, v.bytes.size() - 1));
    } else if (v.type == kRegDword && v.bytes.size() == 4) {
        std::uint32_t d = 0;
        for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.bytes[i]);
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += buf;
    } else {
        if (v.type == 3) {
            out += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
            out += buf;
        }
        for (std::size_t i = 0; i < v.bytes.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", static_cast<unsigned char>(v.bytes[i]));
            out += buf;
        }
    }
    out += '\n';
}

}  // namespace

bool SameStoreName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string CurrentUserKey(std::string_view path) {
    return "HKEY_CURRENT_USER\\" + std::string(path);
}

RegFile RegFile::Parse(std::string_view text) {
    RegFile file;
    StoreValues* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);  // edited on Windows
        if (line.empty() || line == kHeader || line.starts_with(';')) continue;
        if (line.starts_with('[')) {
            current = nullptr;
            if (line.size() < 3 || !line.ends_with(']') || line[1] == '-') continue;
            current = &file.AddKey(line.substr(1, line.size() - 2));
            continue;
        }
        std::string name;
        StoreValue value;
        if (!current || !ParseValue(line, name, value)) continue;
        bool replaced = false;
        for (auto& [n, v] : *current) {
            if (SameStoreName(n, name)) {
                v = std::move(value);
                replaced = true;
                break;
            }
        }
        if (!replaced) current->emplace_back(std::move(name), std::move(value));
    }
    return file;
}

std::string RegFile::Format() const {
    std::string out(kHeader);
    out += '\n';
    for (const auto& [key, values] : m_keys) {
        out += "\n[" + key + "]\n";
        for (const auto& [name, value] : values) AppendValue(out, name, value);
    }
    return out;
}

const StoreValues* RegFile::FindKey(std::string_view key) const {
    for (const auto& [k, values] : m_keys)
        if (SameStoreName(k, key)) return &values;
    return nullptr;
}

StoreValues& RegFile::AddKey(std::string_view key) {
    for (auto& [k, values] : m_keys)
        if (SameStoreName(k, key)) return values;
    m_keys.emplace_back(std::string(key), StoreValues{});
    return m_keys.back().second;
}

void RegFile::Merge(std::string_view key, const StoreValues& values) {
    StoreValues& target = AddKey(key);
    for (const auto& [name, value] : values) {
        bool replaced = false;
        for (auto& [n, v] : target) {
            if (SameStoreName(n, name)) {
                v = value;
                replaced = true;
                break;
            }
        }
        if (!replaced) target.emplace_back(name, value);
    }
}
