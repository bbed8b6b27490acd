// Certificates made at run time for HTTPS tests: a test authority that the fetch is told to
// trust (through SSL_CERT_FILE), a server identity it issued, and one nobody issued.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace quelpath::test {

struct TlsIdentity {
  std::shared_ptr<X509> cert;
  std::shared_ptr<EVP_PKEY> key;
};

// Makes the test authority once per process, writes its certificate to a temporary file and
// points SSL_CERT_FILE at it. Call before the first fetch of the process.
void TestTls_TrustTestAuthority();
// A certificate for 127.0.0.1 and localhost, issued by the test authority.
TlsIdentity TestTls_ServerIdentity();
// A self-signed certificate for 127.0.0.1 that no trust store knows.
TlsIdentity TestTls_UnknownIdentity();

}  // namespace quelpath::test
