// Feeds arbitrary bytes to the engine's JSON parser as a message from the browser. What it takes
// must stay within its budget and come back the same through the serialiser.
#include "engine/devtools/Json.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const JsonBudget budget = Json::BudgetFor(size);
    bool ok = false;
    size_t used = 0;
    const Json document = Json::Parse(text, size, budget, &ok, &used);
    if (!ok) return 0;
    if (used > budget.maxBytes) abort();
    const std::string once = document.Serialize();
    bool again = false;
    const Json reread = Json::Parse(once.data(), once.size(), budget, &again, &used);
    if (!again || reread.Serialize() != once) abort();
    return 0;
}
