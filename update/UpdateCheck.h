// The start-up question whether the publisher offers a newer launcher.
#pragma once

#include "duilib/UIString.h"

class CKuku;

// Fetches the server's config.xml for the configured game and publisher from the build's update
// server and returns the new installer's address when the server's "Version" orders after the
// local one, otherwise "". Blocks the calling thread for the fetch.
CDuiString CheckUpdate();

// The same check against the server at `baseUrl` (ending in "/"), comparing with `local`.
CDuiString CheckUpdateFrom(const wchar_t* baseUrl, const CKuku& local);
