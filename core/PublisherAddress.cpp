#include "core/PublisherAddress.h"

const wchar_t kUpdateBaseUrl[] = L"" ORVEL_PUBLISHER_URL L"/client/";
const wchar_t kClientScriptUrl[] = L"" ORVEL_PUBLISHER_URL L"/client/orvelclient.js";
