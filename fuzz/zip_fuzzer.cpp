// Feeds arbitrary bytes to the zip reader as an archive and reads the members a skin holds.
#include "duilib/ZipArchive.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kMembers[] = {
        "config.xml", "res.xml", "login.xml", "update.xml", "imgs/logo.png", "imgs/login/bg.png",
        "IMGS\\LOGIN\\BTNS.PNG",
    };
    dui::ZipArchive archive;
    if (!archive.Open(data, size)) {
        if (archive.GetEntryCount() != 0 || archive.IsOpen()) abort();
        return 0;
    }
    std::vector<unsigned char> member;
    for (const char* name : kMembers) {
        const bool present = archive.Contains(name);
        const bool read = archive.Read(name, member);
        if (read && !present) abort();
        if (read && member.size() > dui::kMaxZipMemberBytes) abort();
    }
    return 0;
}
