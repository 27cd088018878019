// Addresses built from server and configuration values, made fit for the system's URL functions,
// which send every character outside ASCII as "?".
#pragma once

#include <string>

// `address` with every character outside printable ASCII (U+0020..U+007E) written as the
// percent-escaped bytes of its UTF-8 form, upper-case hex, as a browser sends it: "Việt" becomes
// "Vi%E1%BB%87t". Printable ASCII, "%" included, is kept as it is, so an ASCII address comes back
// unchanged and an escaped one is not escaped again. A lone surrogate is written as U+FFFD.
std::wstring EscapeNonAsciiInUrl(const std::wstring& address);
