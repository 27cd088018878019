// The registered skin: where skin documents and images are read from (process-wide).
// Set up once at start-up through CPaintManagerUI's static operations, read afterwards.
#pragma once

#include <vector>

namespace dui {

// The bytes of the skin file `name`: the member of the registered archive when one is set,
// otherwise the file of that name in the resource folder. False when absent or unreadable.
bool ReadSkinFile(const wchar_t* name, std::vector<unsigned char>& out);

}  // namespace dui
