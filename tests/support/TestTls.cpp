#include "tests/support/TestTls.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace quelpath::test {
namespace {

std::shared_ptr<EVP_PKEY> NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (!key) throw std::runtime_error("no key");
  return {key, EVP_PKEY_free};
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!ext) throw std::runtime_error("bad extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

// A certificate for `key`, signed by `issuerKey` as `issuer` (null: self-signed).
std::shared_ptr<X509> MakeCert(const char* commonName, EVP_PKEY* key, X509* issuer,
                               EVP_PKEY* issuerKey, bool authority) {
  static long serial = 1;
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24 * 30);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* signer = issuer ? issuer : cert;
  X509_set_issuer_name(cert, X509_get_subject_name(signer));
  AddExtension(cert, signer, NID_subject_key_identifier, "hash");
  AddExtension(cert, signer, NID_authority_key_identifier, "keyid:always");
  if (authority) {
    AddExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert, signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert, signer, NID_key_usage, "critical,digitalSignature");
    AddExtension(cert, signer, NID_ext_key_usage, "serverAuth");
    AddExtension(cert, signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
  }
  if (!X509_sign(cert, issuerKey ? issuerKey : key, EVP_sha256())) {
    X509_free(cert);
    throw std::runtime_error("cannot sign");
  }
  return {cert, X509_free};
}

struct Authority {
  TlsIdentity ca;
  TlsIdentity server;
};

const Authority& TheAuthority() {
  static const Authority authority = [] {
    Authority a;
    a.ca.key = NewKey();
    a.ca.cert = MakeCert("Quelpath Test Authority", a.ca.key.get(), nullptr, nullptr, true);
    a.server.key = NewKey();
    a.server.cert =
        MakeCert("127.0.0.1", a.server.key.get(), a.ca.cert.get(), a.ca.key.get(), false);
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("quelpath-test-ca-" + std::to_string(::getpid()) + ".pem");
    FILE* out = std::fopen(file.c_str(), "w");
    if (!out) throw std::runtime_error("cannot write the test authority");
    PEM_write_X509(out, a.ca.cert.get());
    std::fclose(out);
    ::setenv("SSL_CERT_FILE", file.c_str(), 1);
    // The file stays until the process ends; a handler removes it then.
    static const std::filesystem::path keep = file;
    std::atexit([] { std::filesystem::remove(keep); });
    return a;
  }();
  return authority;
}

}  // namespace

void TestTls_TrustTestAuthority() { TheAuthority(); }

TlsIdentity TestTls_ServerIdentity() { return TheAuthority().server; }

TlsIdentity TestTls_UnknownIdentity() {
  TlsIdentity id;
  id.key = NewKey();
  id.cert = MakeCert("127.0.0.1", id.key.get(), nullptr, nullptr, false);
  return id;
}

}  // namespace quelpath::test
