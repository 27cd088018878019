#include "duilib/ZipArchive.h"

#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Text(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string LongText() {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + "\n";
    return text;
}

std::vector<unsigned char> SampleArchive() {
    ZipBuilder zip;
    zip.Add("res.xml", "<Res/>", false);
    zip.Add("imgs/login/bg.png", LongText(), true);
    zip.Add("empty.txt", "", true);
    return zip.Build();
}

void Patch32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// Offset of the central record of the member `index` (0-based) in an archive from ZipBuilder.
size_t CentralRecord(const std::vector<unsigned char>& bytes, int index) {
    const size_t end = bytes.size() - 22;
    size_t pos = bytes[end + 16] | (bytes[end + 17] << 8) | (bytes[end + 18] << 16);
    for (int i = 0; i < index; ++i) pos += 46 + (bytes[pos + 28] | (bytes[pos + 29] << 8));
    return pos;
}

}  // namespace

TEST(ZipArchive, ReadsStoredAndDeflatedMembers) {
    const std::vector<unsigned char> bytes = SampleArchive();
    dui::ZipArchive zip;
    ASSERT_TRUE(zip.Open(bytes.data(), bytes.size()));
    EXPECT_EQ(zip.GetEntryCount(), 3u);
    std::vector<unsigned char> out;
    ASSERT_TRUE(zip.Read("res.xml", out));
    EXPECT_EQ(Text(out), "<Res/>");
    ASSERT_TRUE(zip.Read("imgs/login/bg.png", out));
    EXPECT_EQ(Text(out), LongText());
    ASSERT_TRUE(zip.Read("IMGS\\Login\\BG.png", out));  // separators and letter case are forgiven
    EXPECT_EQ(out.size(), LongText().size());
    ASSERT_TRUE(zip.Read("empty.txt", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(zip.Read("missing.xml", out));
    EXPECT_FALSE(zip.Read("res.xm", out));
    EXPECT_TRUE(zip.Contains("res.xml"));
    EXPECT_FALSE(zip.Contains("login.xml"));
}

TEST(ZipArchive, RefusesTruncatedArchives) {
    const std::vector<unsigned char> bytes = SampleArchive();
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
        dui::ZipArchive zip;
        EXPECT_FALSE(zip.Open(cut.data(), cut.size())) << length;
        std::vector<unsigned char> out;
        EXPECT_FALSE(zip.Read("res.xml", out));
    }
    dui::ZipArchive zip;
    EXPECT_FALSE(zip.Open(nullptr, 100));
}

TEST(ZipArchive, RefusesMembersWhoseHeadersLie) {
    const std::vector<unsigned char> good = SampleArchive();
    std::vector<unsigned char> out;
    const size_t deflated = CentralRecord(good, 1);

    auto readAfter = [&](size_t at, uint32_t value, const char* name) {
        std::vector<unsigned char> bytes = good;
        Patch32(bytes, at, value);
        dui::ZipArchive zip;
        return zip.Open(bytes.data(), bytes.size()) && zip.Read(name, out);
    };
    EXPECT_FALSE(readAfter(deflated + 16, 0xDEADBEEF, "imgs/login/bg.png"));   // wrong CRC
    EXPECT_FALSE(readAfter(deflated + 24, 100, "imgs/login/bg.png"));          // inflates to more than recorded
    EXPECT_FALSE(readAfter(deflated + 24, 100000, "imgs/login/bg.png"));       // inflates to less
    EXPECT_FALSE(readAfter(deflated + 24, 0x7FFFFFFF, "imgs/login/bg.png"));   // beyond the size bound
    EXPECT_FALSE(readAfter(deflated + 20, 0x7FFFFFF0, "imgs/login/bg.png"));   // data past the buffer
    EXPECT_FALSE(readAfter(deflated + 42, 0xFFFFFFF0, "imgs/login/bg.png"));   // local header outside
    EXPECT_FALSE(readAfter(deflated + 42, 1, "imgs/login/bg.png"));            // no local header there
    EXPECT_FALSE(readAfter(deflated + 8, 1 | (8u << 16), "imgs/login/bg.png")); // encrypted
    EXPECT_FALSE(readAfter(deflated + 8, 12u << 16, "imgs/login/bg.png"));     // unknown method
    EXPECT_FALSE(readAfter(CentralRecord(good, 0) + 20, 3, "res.xml"));        // stored with sizes apart
    // The untouched member of a partly damaged archive is still readable.
    EXPECT_TRUE(readAfter(deflated + 16, 0xDEADBEEF, "res.xml"));
    EXPECT_EQ(Text(out), "<Res/>");

    // Directory that claims more entries or bytes than the archive holds.
    std::vector<unsigned char> bytes = good;
    bytes[bytes.size() - 22 + 8] = 9;
    bytes[bytes.size() - 22 + 10] = 9;
    dui::ZipArchive zip;
    EXPECT_FALSE(zip.Open(bytes.data(), bytes.size()));
    bytes = good;
    Patch32(bytes, bytes.size() - 22 + 12, 0xFFFFFF00);
    EXPECT_FALSE(zip.Open(bytes.data(), bytes.size()));
}

TEST(ZipArchive, RandomDamageNeverCrashes) {
    const std::vector<unsigned char> good = SampleArchive();
    uint32_t seed = 777;
    auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
    int intact = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> bytes = good;
        for (int e = 0; e < 3; ++e) bytes[next() % bytes.size()] = static_cast<unsigned char>(next() >> 24);
        dui::ZipArchive zip;
        std::vector<unsigned char> out;
        if (zip.Open(bytes.data(), bytes.size()) && zip.Read("imgs/login/bg.png", out)) {
            // A member that reads at all must read exactly as packed: the CRC guards it.
            EXPECT_EQ(Text(out), LongText());
            ++intact;
        }
    }
    EXPECT_GT(intact, 0);
}
