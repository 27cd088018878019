// Read-only access to a zip archive held in memory (stored and deflated members).
// Free of Windows headers. The bytes are untrusted: every header field is checked against the
// buffer, sizes are bounded, and a member is handed out only when it inflates to exactly its
// recorded size and CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dui {

constexpr uint32_t kMaxZipMemberBytes = 64u << 20;
constexpr size_t kMaxZipEntries = 65535;

class ZipArchive {
public:
    // Indexes the central directory. The bytes are not copied and must outlive the object.
    // False (and an empty archive) when the directory is damaged, ZIP64 or split.
    bool Open(const void* bytes, size_t size);
    void Close();
    bool IsOpen() const { return m_data != nullptr; }

    // The member named `name` (UTF-8; '\\' matches '/', ASCII letters match in any case).
    // False when it is absent, encrypted, compressed with another method, too large or damaged.
    bool Read(const std::string& name, std::vector<unsigned char>& out) const;
    bool Contains(const std::string& name) const;
    size_t GetEntryCount() const { return m_entries.size(); }

private:
    struct Entry {
        std::string name;
        uint16_t flags;
        uint16_t method;
        uint32_t crc;
        uint32_t compressedSize;
        uint32_t size;
        uint32_t localHeaderOffset;
    };
    const Entry* FindEntry(const std::string& name) const;

    const unsigned char* m_data = nullptr;  // not owned
    size_t m_size = 0;
    std::vector<Entry> m_entries;
};

}  // namespace dui
