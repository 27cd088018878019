// The start-up question whether the publisher offers a newer launcher.
#pragma once

#include "duilib/UIString.h"
#include "update/UpdateRelease.h"

class CKuku;

// Fetches the server's config.xml for the configured game and publisher from the build's update
// server and returns the new installer's address when the server's "Version" orders after the
// local one, otherwise "". Blocks the calling thread for the fetch.
CDuiString CheckUpdate(UpdateRelease* release = nullptr);

// The same check against the server at `baseUrl` (ending in "/"), comparing with `local`. Both
// addresses it builds carry values of the configuration or of the server, escaped for the URL
// functions (EscapeNonAsciiInUrl). When an update is due, `release` (may be null) receives what the
// document says of it.
CDuiString CheckUpdateFrom(const wchar_t* baseUrl, const CKuku& local, UpdateRelease* release = nullptr);
