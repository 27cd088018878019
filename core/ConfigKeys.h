// The configuration keys the launcher reads, each named once. A key is the name of an element of
// config.xml (the skin's copy, skin/qemox/config.xml.in, and the update server's), matched
// exactly, letter case included; read with ConfigValue or CKuku::Get (core/Kuku.h). The texts are
// those of the shipped documents: changing one leaves every skin and server that uses it behind.
#pragma once

namespace ConfigKey {

// The release: the game, its publisher and the launcher's version (the local copy's), and the
// same of the newer release (the server's), with its installer's digest and signature.
inline constexpr wchar_t kGame[] = L"Game";            // game code: a path segment of the update addresses
inline constexpr wchar_t kAgent[] = L"Agent";          // publisher (agent) code: the segment after the game's
inline constexpr wchar_t kVersion[] = L"Version";      // the launcher's version, compared as text
inline constexpr wchar_t kSha256[] = L"Sha256";        // server only: the installer's SHA-256, in hex
inline constexpr wchar_t kSignature[] = L"Signature";  // server only: the publisher's signature of the release

// The windows.
inline constexpr wchar_t kTitle[] = L"Title";        // name of the game windows and the web popup windows
inline constexpr wchar_t kLanguage[] = L"Language";  // language handed to every web view
inline constexpr wchar_t kGameWidth[] = L"GameW";    // inner width of the game area, in pixels
inline constexpr wchar_t kGameHeight[] = L"GameH";   // inner height of the game area, in pixels
inline constexpr wchar_t kLockSize[] = L"LockSize";  // "1" fixes the size of the game's host window
inline constexpr wchar_t kMuteAudio[] = L"MuteAudio";  // "1" keeps every page silent

// The publisher's pages. The four link pages are opened by the login skin's buttons "Btn1" to
// "Btn4" (controls of login.xml), whose names the keys share as text only.
inline constexpr wchar_t kLoginPage[] = L"LoginURL";  // the login window's page
inline constexpr wchar_t kHomePage[] = L"Btn1";       // the game's home page; also the update window's way out
inline constexpr wchar_t kPaymentPage[] = L"Btn2";
inline constexpr wchar_t kFanPage[] = L"Btn3";  // the game's page on a social network
inline constexpr wchar_t kSupportPage[] = L"Btn4";
// Further origins (besides the login page's) whose pages may use the script bridge (core/BridgeTrust.h).
inline constexpr wchar_t kTrustedOrigins[] = L"TrustedOrigins";

// Texts shown to the player.
inline constexpr wchar_t kExitQuestion[] = L"ExitSTR";                // the exit confirmation's question
inline constexpr wchar_t kUpdateFailedText[] = L"UpdateFailed";       // the update could not be carried out
inline constexpr wchar_t kUpdateNotVerifiedText[] = L"UpdateNotVerified";  // the update's checks did not hold

}  // namespace ConfigKey
