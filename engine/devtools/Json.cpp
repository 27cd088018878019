#include "engine/devtools/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const Json& SharedNull() {
    static const Json null;
    return null;
}

const std::string& SharedEmptyString() {
    static const std::string empty;
    return empty;
}

// Deep enough for any DevTools message; stops hostile nesting from exhausting the stack.
constexpr int kMaxDepth = 200;

// What one value costs beyond its text: its record, and for an array element the slack of the
// growing vector; for an object member also its key's record and the map's node.
constexpr size_t kValueCost = sizeof(Json);
constexpr size_t kElementCost = 2 * sizeof(Json);
constexpr size_t kMemberCost = sizeof(Json) + sizeof(std::string) + 4 * sizeof(void*);

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Parser {
public:
    Parser(const char* text, size_t size, const JsonBudget& budget) : m_p(text), m_end(text + size), m_budget(budget) {}

    bool ParseDocument(Json& out) {
        if (!Charge(kValueCost) || !ParseValue(out, 0)) return false;
        SkipSpace();
        return m_p == m_end;
    }

    size_t Used() const { return m_bytes; }

private:
    // Counts one more value of `bytes`; false once the budget is spent, before anything is built.
    bool Charge(size_t bytes) {
        if (++m_nodes > m_budget.maxNodes || bytes > m_budget.maxBytes - m_bytes) return false;
        m_bytes += bytes;
        return true;
    }

    // The raw length of the string that starts after the opening quote, with its escapes: no
    // decoded string is longer, so reserving it makes one allocation of a known size.
    size_t RawStringLength() const {
        for (const char* p = m_p; p < m_end; ++p) {
            if (*p == '\\') ++p;
            else if (*p == '"') return static_cast<size_t>(p - m_p);
        }
        return static_cast<size_t>(m_end - m_p);
    }

    void SkipSpace() {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r')) ++m_p;
    }

    bool Literal(const char* word) {
        const char* p = m_p;
        for (; *word; ++word, ++p) {
            if (p >= m_end || *p != *word) return false;
        }
        m_p = p;
        return true;
    }

    bool ParseValue(Json& out, int depth) {
        if (depth > kMaxDepth) return false;
        SkipSpace();
        if (m_p >= m_end) return false;
        switch (*m_p) {
        case '{': return ParseObject(out, depth);
        case '[': return ParseArray(out, depth);
        case '"': {
            std::string s;
            if (!ParseString(s)) return false;
            out = Json(std::move(s));
            return true;
        }
        case 't': if (!Literal("true")) return false; out = Json(true); return true;
        case 'f': if (!Literal("false")) return false; out = Json(false); return true;
        case 'n': if (!Literal("null")) return false; out = Json(); return true;
        default: return ParseNumber(out);
        }
    }

    bool ParseNumber(Json& out) {
        const char* start = m_p;
        if (m_p < m_end && *m_p == '-') ++m_p;
        bool digits = false;
        while (m_p < m_end && ((*m_p >= '0' && *m_p <= '9') || *m_p == '.' || *m_p == 'e' ||
                               *m_p == 'E' || *m_p == '+' || *m_p == '-')) {
            digits = true;
            ++m_p;
        }
        if (!digits || m_p - start > 64) return false;
        std::string text(start, m_p);
        char* end = nullptr;
        double value = std::strtod(text.c_str(), &end);
        if (!end || *end != '\0') return false;
        out = Json(value);
        return true;
    }

    bool Hex4(unsigned& value) {
        if (m_end - m_p < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            char c = *m_p++;
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
            else return false;
        }
        return true;
    }

    bool ParseString(std::string& out) {
        ++m_p;  // opening quote
        const size_t raw = RawStringLength();
        if (raw > m_budget.maxBytes - m_bytes) return false;
        m_bytes += raw;
        out.reserve(raw);
        while (m_p < m_end) {
            char c = *m_p++;
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_p >= m_end) return false;
            char e = *m_p++;
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned cp = 0;
                if (!Hex4(cp)) return false;
                if (cp >= 0xD800 && cp < 0xDC00 && m_end - m_p >= 6 && m_p[0] == '\\' && m_p[1] == 'u') {
                    const char* save = m_p;
                    m_p += 2;
                    unsigned low = 0;
                    if (Hex4(low) && low >= 0xDC00 && low < 0xE000) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else {
                        m_p = save;
                    }
                }
                if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;  // a lone surrogate
                AppendUtf8(out, cp);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    bool ParseArray(Json& out, int depth) {
        ++m_p;
        out = Json::Array();
        SkipSpace();
        if (m_p < m_end && *m_p == ']') { ++m_p; return true; }
        for (;;) {
            Json item;
            if (!Charge(kElementCost) || !ParseValue(item, depth + 1)) return false;
            out.Push(std::move(item));
            SkipSpace();
            if (m_p >= m_end) return false;
            if (*m_p == ',') { ++m_p; continue; }
            if (*m_p == ']') { ++m_p; return true; }
            return false;
        }
    }

    bool ParseObject(Json& out, int depth) {
        ++m_p;
        out = Json::Object();
        SkipSpace();
        if (m_p < m_end && *m_p == '}') { ++m_p; return true; }
        for (;;) {
            SkipSpace();
            if (m_p >= m_end || *m_p != '"') return false;
            std::string key;
            if (!ParseString(key)) return false;
            SkipSpace();
            if (m_p >= m_end || *m_p != ':') return false;
            ++m_p;
            Json value;
            if (!Charge(kMemberCost) || !ParseValue(value, depth + 1)) return false;
            out.Set(key, std::move(value));
            SkipSpace();
            if (m_p >= m_end) return false;
            if (*m_p == ',') { ++m_p; continue; }
            if (*m_p == '}') { ++m_p; return true; }
            return false;
        }
    }

    const char* m_p;
    const char* m_end;
    const JsonBudget m_budget;
    size_t m_nodes = 0;
    size_t m_bytes = 0;
};

}  // namespace

void AppendJsonString(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

std::string JsonQuote(const std::string& text) {
    std::string out;
    AppendJsonString(out, text);
    // U+2028 and U+2029 end a line in script source although JSON allows them raw.
    std::string safe;
    safe.reserve(out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        if (i + 2 < out.size() && static_cast<unsigned char>(out[i]) == 0xE2 &&
            static_cast<unsigned char>(out[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(out[i + 2]) == 0xA8 || static_cast<unsigned char>(out[i + 2]) == 0xA9)) {
            safe += static_cast<unsigned char>(out[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            safe += out[i];
        }
    }
    return safe;
}

JsonBudget Json::BudgetFor(size_t size) {
    constexpr size_t kAllowance = 512 * 1024;
    return JsonBudget{size / 8 + 4096, 4 * size + kAllowance};
}

Json Json::Parse(const char* text, size_t size, bool* ok) { return Parse(text, size, BudgetFor(size), ok, nullptr); }

Json Json::Parse(const char* text, size_t size, const JsonBudget& budget, bool* ok, size_t* used) {
    Json result;
    Parser parser(text, size, budget);
    const bool good = text && parser.ParseDocument(result);
    if (!good) result = Json();
    if (ok) *ok = good;
    if (used) *used = good ? parser.Used() : 0;
    return result;
}

int Json::AsInt(int fallback) const {
    if (m_type != Type::Number || !std::isfinite(m_number)) return fallback;
    if (m_number >= 2147483647.0) return 2147483647;
    if (m_number <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(m_number);
}

const std::string& Json::AsString() const { return m_type == Type::String ? m_string : SharedEmptyString(); }

const Json& Json::operator[](const char* key) const {
    if (m_type != Type::Object) return SharedNull();
    auto it = m_object.find(key);
    return it == m_object.end() ? SharedNull() : it->second;
}

bool Json::Has(const char* key) const { return m_type == Type::Object && m_object.count(key) != 0; }

Json& Json::Set(const std::string& key, Json value) {
    if (m_type != Type::Object) *this = Object();
    Json& slot = m_object[key];
    slot = std::move(value);
    return *this;
}

const Json& Json::At(size_t index) const {
    if (m_type != Type::Array || index >= m_array.size()) return SharedNull();
    return m_array[index];
}

Json& Json::Push(Json value) {
    if (m_type != Type::Array) *this = Array();
    m_array.push_back(std::move(value));
    return *this;
}

std::string Json::Serialize() const {
    std::string out;
    SerializeTo(out);
    return out;
}

void Json::SerializeTo(std::string& out) const {
    switch (m_type) {
    case Type::Null: out += "null"; break;
    case Type::Bool: out += m_bool ? "true" : "false"; break;
    case Type::Number: {
        if (!std::isfinite(m_number)) { out += "null"; break; }
        char buf[40];
        if (m_number == std::floor(m_number) && std::fabs(m_number) < 1e15)
            std::snprintf(buf, sizeof buf, "%.0f", m_number);
        else
            std::snprintf(buf, sizeof buf, "%.17g", m_number);
        out += buf;
        break;
    }
    case Type::String: AppendJsonString(out, m_string); break;
    case Type::Array: {
        out += '[';
        for (size_t i = 0; i < m_array.size(); ++i) {
            if (i) out += ',';
            m_array[i].SerializeTo(out);
        }
        out += ']';
        break;
    }
    case Type::Object: {
        out += '{';
        bool first = true;
        for (const auto& member : m_object) {
            if (!first) out += ',';
            first = false;
            AppendJsonString(out, member.first);
            out += ':';
            member.second.SerializeTo(out);
        }
        out += '}';
        break;
    }
    }
}
