// CMarkup::LoadFromFile, kept apart from the parser because it reads the registered skin.
#include "duilib/UIMarkup.h"
#include "duilib/UISkin.h"

#include <vector>

bool CMarkup::LoadFromFile(const wchar_t* name, int encoding) {
    std::vector<unsigned char> bytes;
    if (!dui::ReadSkinFile(name, bytes)) {
        Release();
        return false;
    }
    return LoadFromMem(bytes.data(), bytes.size(), encoding);
}
