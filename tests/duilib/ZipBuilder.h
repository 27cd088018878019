// Builds small zip archives in memory for the tests, with stored or deflated members.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

class ZipBuilder {
public:
    void Add(const std::string& name, const std::string& content, bool deflate) {
        Add(name, std::vector<unsigned char>(content.begin(), content.end()), deflate);
    }

    void Add(const std::string& name, const std::vector<unsigned char>& content, bool deflate) {
        Member m;
        m.name = name;
        m.method = deflate ? 8 : 0;
        m.size = static_cast<uint32_t>(content.size());
        m.crc = static_cast<uint32_t>(crc32(0L, content.data(), static_cast<uInt>(content.size())));
        m.data = deflate ? Deflate(content) : content;
        m_members.push_back(m);
    }

    std::vector<unsigned char> Build() const {
        std::vector<unsigned char> out;
        std::vector<uint32_t> offsets;
        for (const Member& m : m_members) {
            offsets.push_back(static_cast<uint32_t>(out.size()));
            Put32(out, 0x04034b50);
            Put16(out, 20);
            Put16(out, 0);
            Put16(out, m.method);
            Put32(out, 0);
            Put32(out, m.crc);
            Put32(out, static_cast<uint32_t>(m.data.size()));
            Put32(out, m.size);
            Put16(out, static_cast<uint16_t>(m.name.size()));
            Put16(out, 0);
            out.insert(out.end(), m.name.begin(), m.name.end());
            out.insert(out.end(), m.data.begin(), m.data.end());
        }
        const uint32_t directory = static_cast<uint32_t>(out.size());
        for (size_t i = 0; i < m_members.size(); ++i) {
            const Member& m = m_members[i];
            Put32(out, 0x02014b50);
            Put16(out, 20);
            Put16(out, 20);
            Put16(out, 0);
            Put16(out, m.method);
            Put32(out, 0);
            Put32(out, m.crc);
            Put32(out, static_cast<uint32_t>(m.data.size()));
            Put32(out, m.size);
            Put16(out, static_cast<uint16_t>(m.name.size()));
            Put16(out, 0);
            Put16(out, 0);
            Put16(out, 0);
            Put16(out, 0);
            Put32(out, 0);
            Put32(out, offsets[i]);
            out.insert(out.end(), m.name.begin(), m.name.end());
        }
        const uint32_t directorySize = static_cast<uint32_t>(out.size()) - directory;
        Put32(out, 0x06054b50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, static_cast<uint16_t>(m_members.size()));
        Put16(out, static_cast<uint16_t>(m_members.size()));
        Put32(out, directorySize);
        Put32(out, directory);
        Put16(out, 0);
        return out;
    }

private:
    struct Member {
        std::string name;
        uint16_t method;
        uint32_t size;
        uint32_t crc;
        std::vector<unsigned char> data;
    };

    static std::vector<unsigned char> Deflate(const std::vector<unsigned char>& in) {
        z_stream s{};
        deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::vector<unsigned char> out(deflateBound(&s, static_cast<uLong>(in.size())) + 16);
        s.next_in = const_cast<unsigned char*>(in.data());
        s.avail_in = static_cast<uInt>(in.size());
        s.next_out = out.data();
        s.avail_out = static_cast<uInt>(out.size());
        deflate(&s, Z_FINISH);
        out.resize(s.total_out);
        deflateEnd(&s);
        return out;
    }
    static void Put16(std::vector<unsigned char>& out, uint16_t v) {
        out.push_back(static_cast<unsigned char>(v));
        out.push_back(static_cast<unsigned char>(v >> 8));
    }
    static void Put32(std::vector<unsigned char>& out, uint32_t v) {
        Put16(out, static_cast<uint16_t>(v));
        Put16(out, static_cast<uint16_t>(v >> 16));
    }

    std::vector<Member> m_members;
};
