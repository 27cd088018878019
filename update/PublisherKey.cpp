// The publisher's public key, from the build setting ORVEL_UPDATE_PUBLIC_KEY. Built as an object of
// its own so that the tests can link a build with a key of theirs.
#include "update/InstallerVerify.h"

const wchar_t* PublisherPublicKey() { return L"" ORVEL_UPDATE_PUBLIC_KEY; }
