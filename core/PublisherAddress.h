// The publisher's server as this program was built for it (the build setting ORVEL_PUBLISHER_HOST):
// every fixed publisher address the launcher holds derives from it. Each program links the
// definitions of its one server (orvel_publisher_address_library in core/CMakeLists.txt).
#pragma once

// "<scheme>://<host[:port]>/client/": the update server's base address.
extern const wchar_t kUpdateBaseUrl[];
// "<scheme>://<host[:port]>/client/orvelclient.js": the client script put into the game page.
extern const wchar_t kClientScriptUrl[];
