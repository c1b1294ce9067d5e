// SPDX-License-Identifier: GPL-3.0-or-later
#include "tls_server.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cstdio>

namespace larkwend::practice {
namespace {

struct X509Free {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct ExtensionFree {
  void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};
using Certificate = std::unique_ptr<X509, X509Free>;
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

constexpr long kDay = 24 * 3600;

// Self-signed for `host`, as a site that made its own certificate has it. An expired one ended
// yesterday, after a month of validity.
bool MakeCertificate(const std::string& host, bool expired, Certificate& certificate, Key& key) {
  key.reset(EVP_EC_gen("P-256"));
  certificate.reset(X509_new());
  if (!key || !certificate) return false;
  X509* c = certificate.get();
  unsigned char serial[8];
  RAND_bytes(serial, sizeof serial);
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  const bool serialSet = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(c));
  BN_free(number);
  X509_NAME* name = X509_get_subject_name(c);
  std::unique_ptr<X509_EXTENSION, ExtensionFree> altName(
      X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, ("DNS:" + host).c_str()));
  return serialSet && X509_set_version(c, 2) &&
         X509_gmtime_adj(X509_getm_notBefore(c), expired ? -31 * kDay : -3600) &&
         X509_gmtime_adj(X509_getm_notAfter(c), expired ? -kDay : 30 * kDay) &&
         X509_set_pubkey(c, key.get()) &&
         X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                    reinterpret_cast<const unsigned char*>("Larkwend 练习网站"), -1,
                                    -1, 0) &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                    reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1,
                                    0) &&
         X509_set_issuer_name(c, name) && altName && X509_add_ext(c, altName.get(), -1) &&
         X509_sign(c, key.get(), EVP_sha256()) > 0;
}

bool ReadCertificate(const std::string& certFile, const std::string& keyFile,
                     Certificate& certificate, Key& key) {
  File cert(std::fopen(certFile.c_str(), "r"));
  File pem(std::fopen(keyFile.c_str(), "r"));
  if (cert) certificate.reset(PEM_read_X509(cert.get(), nullptr, nullptr, nullptr));
  if (pem) key.reset(PEM_read_PrivateKey(pem.get(), nullptr, nullptr, nullptr));
  return certificate && key;
}

// The key is readable by its owner only, as any private key.
bool WriteCertificate(const std::string& certFile, const std::string& keyFile,
                      const Certificate& certificate, const Key& key) {
  File cert(std::fopen(certFile.c_str(), "w"));
  const mode_t before = ::umask(077);
  File pem(std::fopen(keyFile.c_str(), "w"));
  ::umask(before);
  return cert && pem && PEM_write_X509(cert.get(), certificate.get()) &&
         PEM_write_PrivateKey(pem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
}

std::string FingerprintOf(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!X509_digest(certificate, EVP_sha256(), digest, &size)) return {};
  std::string text;
  for (unsigned int i = 0; i < size; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, i ? ":%02X" : "%02X", digest[i]);
    text += byte;
  }
  return text;
}

}  // namespace

bool TlsServer::Bind(const PracticeOptions& options, const std::string& host, std::string& error) {
  Certificate certificate;
  Key key;
  const bool kept = !options.tlsCertFile.empty();
  struct stat existing {};
  if (kept && ::stat(options.tlsCertFile.c_str(), &existing) == 0) {
    if (!ReadCertificate(options.tlsCertFile, options.tlsKeyFile, certificate, key)) {
      error = "cannot read the certificate " + options.tlsCertFile + " with its key " +
              options.tlsKeyFile;
      return false;
    }
  } else if (!MakeCertificate(host, options.tlsExpired, certificate, key) ||
             (kept &&
              !WriteCertificate(options.tlsCertFile, options.tlsKeyFile, certificate, key))) {
    error = "cannot make a certificate" + (kept ? " in " + options.tlsCertFile : std::string());
    return false;
  }
  // The server takes references of its own to both.
  server_ = std::make_unique<httplib::SSLServer>(certificate.get(), key.get());
  if (!server_->is_valid()) {
    error = "the certificate and its key do not go together";
    return false;
  }
  fingerprint_ = FingerprintOf(certificate.get());
  port_ = options.tlsPort == 0 ? server_->bind_to_any_port("127.0.0.1")
          : server_->bind_to_port("127.0.0.1", options.tlsPort) ? options.tlsPort
                                                                : 0;
  if (port_ <= 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(options.tlsPort);
    return false;
  }
  return true;
}

void TlsServer::Serve(const HostRouter& router, std::size_t workers) {
  // httplib owns the queue it is given.
  server_->new_task_queue = [workers] {
    return std::make_unique<httplib::ThreadPool>(workers).release();
  };
  router.Install(*server_);
  thread_ = std::jthread([this] {
    server_->listen_after_bind();
    returned_ = true;
  });
}

void TlsServer::Stop() {
  if (!thread_.joinable()) return;
  // listen_after_bind may not have entered its loop yet; stop() must not race ahead of it.
  while (!server_->is_running() && !returned_) std::this_thread::yield();
  server_->stop();
  thread_.join();
}

}  // namespace larkwend::practice
