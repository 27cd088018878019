// The user agent that every web view of the launcher sends: the game view, the login view and
// every popup. The publisher's server recognises the launcher by its last word.
#pragma once

extern const char kLauncherUserAgent[];
