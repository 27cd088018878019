// Where the launcher keeps what it keeps for the player: one folder per Windows user under the
// local application data, named after the product.
#pragma once

#include <string>

// "<LocalAppData>\Tolma Launcher\", ending with a backslash; empty when the system cannot say.
std::wstring LauncherDataFolder();

// The profile of the launcher's browser, kept from run to run (cookies, local storage, IndexedDB,
// the HTTP cache): "<LocalAppData>\Tolma Launcher\Browser". Empty when the system cannot say.
std::wstring BrowserProfileFolder();

// What the launcher writes for the publisher's support (its crash dumps):
// "<LocalAppData>\Tolma Launcher\logs\", ending with a backslash. Empty when the system cannot say.
std::wstring LauncherLogFolder();
