#include "duilib/MarkupParser.h"

namespace dui {
namespace {

bool IsValidCodePoint(char32_t c) {
    if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c <= 0x10FFFF && c != 0xFFFE && c != 0xFFFF;
}

bool DecodeUtf8(const unsigned char* p, size_t n, std::u32string& out) {
    out.reserve(n);
    size_t i = 0;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) i = 3;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra;
        char32_t c;
        char32_t minimum;
        if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (n - i <= static_cast<size_t>(extra)) return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = p[i + static_cast<size_t>(k)];
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        if (c < minimum) return false;  // overlong form
        out.push_back(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

// UTF-16 units (either from bytes or from a 16-bit wchar_t) to code points.
template <typename Unit>
bool DecodeUtf16(Unit unitAt, size_t count, std::u32string& out) {
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= count) return false;
            const char32_t low = unitAt(i + 1);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        } else {
            out.push_back(u);
        }
    }
    return true;
}

void AppendWide(std::wstring& out, char32_t c) {
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(c));
    }
}

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameStart(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(char32_t c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

class Parser {
public:
    Parser(const std::u32string& text, XmlDocument& doc) : m_s(text), m_doc(doc) {}

    bool Run() {
        if (!SkipMisc()) return false;
        if (!At(U"<") || !ParseElement(-1, 0)) return false;
        if (!SkipMisc()) return false;
        return m_pos == m_s.size();
    }

private:
    bool At(const char32_t* literal) const {
        size_t i = m_pos;
        for (; *literal; ++literal, ++i) {
            if (i >= m_s.size() || m_s[i] != *literal) return false;
        }
        return true;
    }

    bool Eat(const char32_t* literal) {
        if (!At(literal)) return false;
        while (*literal++) ++m_pos;
        return true;
    }

    void SkipSpace() {
        while (m_pos < m_s.size() && IsSpace(m_s[m_pos])) ++m_pos;
    }

    // Moves past the next occurrence of `terminator`; false when there is none.
    bool SkipPast(const char32_t* terminator) {
        while (m_pos < m_s.size()) {
            if (Eat(terminator)) return true;
            ++m_pos;
        }
        return false;
    }

    // Whitespace, comments and processing instructions around the root element.
    bool SkipMisc() {
        for (;;) {
            SkipSpace();
            if (At(U"<!--")) {
                if (!SkipComment()) return false;
            } else if (At(U"<?")) {
                m_pos += 2;
                if (!SkipPast(U"?>")) return false;
            } else {
                return true;
            }
        }
    }

    bool SkipComment() {
        m_pos += 4;
        while (m_pos < m_s.size()) {
            if (At(U"--")) return Eat(U"-->");  // "--" is not allowed inside a comment
            ++m_pos;
        }
        return false;
    }

    bool ParseName(std::wstring& name) {
        if (m_pos >= m_s.size() || !IsNameStart(m_s[m_pos])) return false;
        while (m_pos < m_s.size() && IsNameChar(m_s[m_pos])) AppendWide(name, m_s[m_pos++]);
        return true;
    }

    // At '&': appends the referenced character.
    bool ParseReference(std::wstring& out) {
        ++m_pos;
        if (Eat(U"lt;")) return out.push_back(L'<'), true;
        if (Eat(U"gt;")) return out.push_back(L'>'), true;
        if (Eat(U"amp;")) return out.push_back(L'&'), true;
        if (Eat(U"quot;")) return out.push_back(L'"'), true;
        if (Eat(U"apos;")) return out.push_back(L'\''), true;
        if (!Eat(U"#")) return false;
        const bool hex = Eat(U"x");
        char32_t value = 0;
        int digits = 0;
        while (m_pos < m_s.size() && m_s[m_pos] != ';') {
            const char32_t c = m_s[m_pos];
            int digit;
            if (c >= '0' && c <= '9') {
                digit = static_cast<int>(c - '0');
            } else if (hex && c >= 'a' && c <= 'f') {
                digit = static_cast<int>(c - 'a' + 10);
            } else if (hex && c >= 'A' && c <= 'F') {
                digit = static_cast<int>(c - 'A' + 10);
            } else {
                return false;
            }
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
            if (value > 0x10FFFF) return false;
            ++digits;
            ++m_pos;
        }
        if (digits == 0 || !Eat(U";") || !IsValidCodePoint(value)) return false;
        AppendWide(out, value);
        return true;
    }

    bool ParseAttributeValue(std::wstring& value) {
        if (m_pos >= m_s.size()) return false;
        const char32_t quote = m_s[m_pos];
        if (quote != '"' && quote != '\'') return false;
        ++m_pos;
        while (m_pos < m_s.size()) {
            const char32_t c = m_s[m_pos];
            if (c == quote) {
                ++m_pos;
                return true;
            }
            if (c == '<') return false;
            if (c == '&') {
                if (!ParseReference(value)) return false;
            } else {
                AppendWide(value, c);
                ++m_pos;
            }
        }
        return false;
    }

    bool ParseElement(int parent, int depth) {
        if (depth >= kMaxXmlDepth) return false;
        ++m_pos;  // '<'
        const int index = static_cast<int>(m_doc.elements.size());
        m_doc.elements.emplace_back();
        m_doc.elements[static_cast<size_t>(index)].parent = parent;
        std::wstring name;
        if (!ParseName(name)) return false;

        std::vector<XmlAttribute> attributes;
        for (;;) {
            const size_t before = m_pos;
            SkipSpace();
            if (Eat(U"/>")) {
                Finish(index, std::move(name), std::move(attributes), std::wstring());
                return true;
            }
            if (Eat(U">")) break;
            if (m_pos == before) return false;  // attributes must be separated by space
            XmlAttribute attribute;
            if (!ParseName(attribute.name)) return false;
            SkipSpace();
            if (!Eat(U"=")) return false;
            SkipSpace();
            if (!ParseAttributeValue(attribute.value)) return false;
            if (attributes.size() >= kMaxXmlAttributes) return false;
            for (const XmlAttribute& other : attributes) {
                if (other.name == attribute.name) return false;
            }
            attributes.push_back(std::move(attribute));
        }

        std::wstring text;
        int lastChild = -1;
        while (m_pos < m_s.size()) {
            const char32_t c = m_s[m_pos];
            if (c == '&') {
                if (!ParseReference(text)) return false;
            } else if (c != '<') {
                if (c == ']' && At(U"]]>")) return false;
                AppendWide(text, c);
                ++m_pos;
            } else if (At(U"</")) {
                m_pos += 2;
                std::wstring closing;
                if (!ParseName(closing) || closing != name) return false;
                SkipSpace();
                if (!Eat(U">")) return false;
                Finish(index, std::move(name), std::move(attributes), std::move(text));
                return true;
            } else if (At(U"<!--")) {
                if (!SkipComment()) return false;
            } else if (Eat(U"<![CDATA[")) {
                const size_t start = m_pos;
                if (!SkipPast(U"]]>")) return false;
                for (size_t i = start; i < m_pos - 3; ++i) AppendWide(text, m_s[i]);
            } else if (At(U"<?")) {
                m_pos += 2;
                if (!SkipPast(U"?>")) return false;
            } else if (At(U"<!")) {
                return false;
            } else {
                const int child = static_cast<int>(m_doc.elements.size());
                if (!ParseElement(index, depth + 1)) return false;
                if (lastChild < 0) {
                    m_doc.elements[static_cast<size_t>(index)].firstChild = child;
                } else {
                    m_doc.elements[static_cast<size_t>(lastChild)].nextSibling = child;
                }
                lastChild = child;
            }
        }
        return false;  // document ended inside the element
    }

    void Finish(int index, std::wstring name, std::vector<XmlAttribute> attributes, std::wstring text) {
        XmlElement& element = m_doc.elements[static_cast<size_t>(index)];
        element.name = std::move(name);
        element.attributes = std::move(attributes);
        element.value = std::move(text);
    }

    const std::u32string& m_s;
    XmlDocument& m_doc;
    size_t m_pos = 0;
};

bool ParseCodePoints(const std::u32string& text, XmlDocument& doc) {
    doc.elements.clear();
    for (char32_t c : text) {
        if (!IsValidCodePoint(c)) return false;
    }
    if (!Parser(text, doc).Run()) {
        doc.elements.clear();
        return false;
    }
    return true;
}

}  // namespace

bool ParseXml(const unsigned char* bytes, size_t size, XmlEncoding encoding, XmlDocument& doc) {
    doc.elements.clear();
    if (!bytes || size > kMaxXmlBytes) return false;
    std::u32string text;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        encoding = XmlEncoding::Utf16LE;
        bytes += 2;
        size -= 2;
    }
    bool decoded;
    if (encoding == XmlEncoding::Utf16LE) {
        if (size % 2) return false;
        decoded = DecodeUtf16(
            [bytes](size_t i) { return static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); },
            size / 2, text);
    } else {
        decoded = DecodeUtf8(bytes, size, text);
    }
    return decoded && ParseCodePoints(text, doc);
}

bool ParseXml(const wchar_t* text, size_t length, XmlDocument& doc) {
    doc.elements.clear();
    if (!text || length > kMaxXmlBytes) return false;
    std::u32string points;
    if (sizeof(wchar_t) == 2) {
        if (!DecodeUtf16([text](size_t i) { return static_cast<char32_t>(static_cast<char16_t>(text[i])); },
                         length, points)) {
            return false;
        }
    } else {
        points.assign(text, text + length);
    }
    if (!points.empty() && points[0] == 0xFEFF) points.erase(0, 1);
    return ParseCodePoints(points, doc);
}

}  // namespace dui
