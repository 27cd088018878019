#include "duilib/ZipArchive.h"

#include <zlib.h>

#include <algorithm>

namespace dui {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralRecordSize = 46;
constexpr size_t kLocalRecordSize = 30;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

char FoldName(char c) {
    if (c == '\\') return '/';
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldName(a[i]) != FoldName(b[i])) return false;
    }
    return true;
}

// Inflates a raw deflate stream into `out` (capacity bytes); true only when the stream ends
// after exactly `expected` bytes.
bool Inflate(const unsigned char* in, uint32_t inSize, unsigned char* out, uint32_t capacity, uint32_t expected) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = const_cast<unsigned char*>(in);
    stream.avail_in = inSize;
    stream.next_out = out;
    stream.avail_out = capacity;
    const int result = inflate(&stream, Z_FINISH);
    const bool complete = result == Z_STREAM_END && stream.total_out == expected;
    inflateEnd(&stream);
    return complete;
}

}  // namespace

bool ZipArchive::Open(const void* bytes, size_t size) {
    Close();
    const unsigned char* data = static_cast<const unsigned char*>(bytes);
    if (!data || size < kEndRecordSize) return false;

    // The end record sits in the last 22 bytes plus at most a 65535-byte comment.
    size_t end = size - kEndRecordSize;
    const size_t lowest = size - kEndRecordSize > 0xFFFF ? size - kEndRecordSize - 0xFFFF : 0;
    for (;; --end) {
        if (Le32(data + end) == kEndSignature && end + kEndRecordSize + Le16(data + end + 20) == size) break;
        if (end == lowest) return false;
    }
    const unsigned char* record = data + end;
    const uint16_t disk = Le16(record + 4);
    const uint16_t directoryDisk = Le16(record + 6);
    const uint16_t entriesHere = Le16(record + 8);
    const uint16_t entries = Le16(record + 10);
    const uint32_t directorySize = Le32(record + 12);
    const uint32_t directoryOffset = Le32(record + 16);
    if (disk != 0 || directoryDisk != 0 || entriesHere != entries) return false;
    if (directoryOffset == 0xFFFFFFFF || entries == 0xFFFF) return false;  // ZIP64
    if (directoryOffset > end || directorySize > end - directoryOffset) return false;

    std::vector<Entry> parsed;
    size_t pos = directoryOffset;
    const size_t directoryEnd = static_cast<size_t>(directoryOffset) + directorySize;
    for (uint16_t i = 0; i < entries; ++i) {
        if (directoryEnd - pos < kCentralRecordSize) return false;
        const unsigned char* p = data + pos;
        if (Le32(p) != kCentralSignature) return false;
        const size_t nameLength = Le16(p + 28);
        const size_t extraLength = Le16(p + 30);
        const size_t commentLength = Le16(p + 32);
        const size_t recordLength = kCentralRecordSize + nameLength + extraLength + commentLength;
        if (directoryEnd - pos < recordLength) return false;
        Entry entry;
        entry.flags = Le16(p + 8);
        entry.method = Le16(p + 10);
        entry.crc = Le32(p + 16);
        entry.compressedSize = Le32(p + 20);
        entry.size = Le32(p + 24);
        entry.localHeaderOffset = Le32(p + 42);
        entry.name.assign(reinterpret_cast<const char*>(p + kCentralRecordSize), nameLength);
        if (entry.name.find('\0') != std::string::npos) return false;
        parsed.push_back(std::move(entry));
        pos += recordLength;
    }
    m_data = data;
    m_size = size;
    m_entries = std::move(parsed);
    return true;
}

void ZipArchive::Close() {
    m_data = nullptr;
    m_size = 0;
    m_entries.clear();
}

const ZipArchive::Entry* ZipArchive::FindEntry(const std::string& name) const {
    for (const Entry& entry : m_entries) {
        if (SameName(entry.name, name)) return &entry;
    }
    return nullptr;
}

bool ZipArchive::Contains(const std::string& name) const { return FindEntry(name) != nullptr; }

bool ZipArchive::Read(const std::string& name, std::vector<unsigned char>& out) const {
    out.clear();
    const Entry* entry = FindEntry(name);
    if (!entry || !m_data) return false;
    if (entry->flags & 0x1) return false;  // encrypted
    if (entry->size > kMaxZipMemberBytes || entry->compressedSize > m_size) return false;

    const size_t local = entry->localHeaderOffset;
    if (local > m_size || m_size - local < kLocalRecordSize) return false;
    const unsigned char* header = m_data + local;
    if (Le32(header) != kLocalSignature) return false;
    const size_t dataOffset = local + kLocalRecordSize + Le16(header + 26) + Le16(header + 28);
    if (dataOffset > m_size || m_size - dataOffset < entry->compressedSize) return false;
    const unsigned char* compressed = m_data + dataOffset;

    std::vector<unsigned char> bytes(entry->size);
    if (entry->method == 0) {
        if (entry->compressedSize != entry->size) return false;
        std::copy(compressed, compressed + entry->size, bytes.begin());
    } else if (entry->method == 8) {
        // One spare byte: a stream that inflates to more than its recorded size fills it and is refused.
        bytes.resize(static_cast<size_t>(entry->size) + 1);
        if (!Inflate(compressed, entry->compressedSize, bytes.data(), entry->size + 1, entry->size)) return false;
        bytes.resize(entry->size);
    } else {
        return false;
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size()));
    if (crc != entry->crc) return false;
    out.swap(bytes);
    return true;
}

}  // namespace dui
