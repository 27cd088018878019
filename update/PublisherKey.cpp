// The publisher's public key, from the build setting ORVEL_UPDATE_PUBLIC_KEY.
#include "update/InstallerVerify.h"

const wchar_t* PublisherPublicKey() { return L"" ORVEL_UPDATE_PUBLIC_KEY; }
