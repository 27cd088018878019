// Makes the test's Wine prefix trust a test certificate authority, and forget it again, for the
// end-to-end scenario over https. Wine builds its root store from the host's certificates and
// the prefix's own "ROOT" store; only the latter is changed, so no other prefix and nothing
// outside Wine learns of the authority.
//
//   trust_ca.exe add <certificate.pem>      adds it to the ROOT store of the prefix's user
//   trust_ca.exe remove <certificate.pem>   removes it; succeeds when it is not there
//
// Exits with 0 when done.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/support/TempFolder.h"

namespace {

// The certificate's DER bytes from a PEM (or DER) file; empty when it holds none.
std::string CertificateBytes(const wchar_t* path) {
    const std::string file = ReadWholeFile(path);
    DWORD size = 0;
    if (file.empty() || !CryptStringToBinaryA(file.data(), static_cast<DWORD>(file.size()), CRYPT_STRING_ANY,
                                              nullptr, &size, nullptr, nullptr)) {
        return std::string();
    }
    std::string der(size, '\0');
    if (!CryptStringToBinaryA(file.data(), static_cast<DWORD>(file.size()), CRYPT_STRING_ANY,
                              reinterpret_cast<BYTE*>(&der[0]), &size, nullptr, nullptr)) {
        return std::string();
    }
    der.resize(size);
    return der;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || (std::wcscmp(argv[1], L"add") != 0 && std::wcscmp(argv[1], L"remove") != 0)) {
        std::fprintf(stderr, "usage: trust_ca.exe add|remove <certificate.pem>\n");
        return 2;
    }
    const std::string der = CertificateBytes(argv[2]);
    PCCERT_CONTEXT certificate = der.empty() ? nullptr
        : CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                       static_cast<DWORD>(der.size()));
    if (!certificate) {
        std::fprintf(stderr, "no certificate in the file\n");
        return 3;
    }
    HCERTSTORE root = CertOpenSystemStoreW(0, L"ROOT");
    bool done = false;
    if (root) {
        if (std::wcscmp(argv[1], L"add") == 0) {
            done = CertAddCertificateContextToStore(root, certificate, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
        } else {
            PCCERT_CONTEXT found = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                              certificate, nullptr);
            // Deleting frees the found context, also when it fails.
            done = !found || CertDeleteCertificateFromStore(found);
        }
        CertCloseStore(root, 0);
    }
    CertFreeCertificateContext(certificate);
    if (!done) std::fprintf(stderr, "the ROOT store was not changed (error %lu)\n", GetLastError());
    return done ? 0 : 1;
}
