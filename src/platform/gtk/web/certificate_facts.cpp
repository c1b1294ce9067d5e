// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/certificate_facts.h"

#include <memory>
#include <string>
#include <utility>

#include "platform/gtk/common/gobject_ptr.h"

namespace larkwend::gtk {
namespace {

struct ByteArrayDeleter {
  void operator()(GByteArray* bytes) const { g_byte_array_unref(bytes); }
};
struct DateTimeDeleter {
  void operator()(GDateTime* time) const { g_date_time_unref(time); }
};
struct UriDeleter {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};

std::string Text(gchar* owned) {
  std::unique_ptr<gchar, GFreeDeleter> text(owned);
  return text ? text.get() : "";
}

std::int64_t Seconds(GDateTime* owned) {
  std::unique_ptr<GDateTime, DateTimeDeleter> time(owned);
  return time ? g_date_time_to_unix(time.get()) : 0;
}

std::string HostOf(const char* uri) {
  std::unique_ptr<GUri, UriDeleter> parsed(uri ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr)
                                               : nullptr);
  const char* host = parsed ? g_uri_get_host(parsed.get()) : nullptr;
  return host ? host : "";
}

// As certificate viewers show it, so that the student can compare it with what the site's
// maker publishes.
std::string Fingerprint(GTlsCertificate* certificate) {
  GByteArray* der = nullptr;
  g_object_get(certificate, "certificate", &der, nullptr);
  std::unique_ptr<GByteArray, ByteArrayDeleter> held(der);
  if (!der) return {};
  std::unique_ptr<gchar, GFreeDeleter> hex(
      g_compute_checksum_for_data(G_CHECKSUM_SHA256, der->data, der->len));
  std::string text;
  for (const char* c = hex.get(); *c; ++c) {
    if (!text.empty() && (c - hex.get()) % 2 == 0) text += ':';
    text += g_ascii_toupper(*c);
  }
  return text;
}

unsigned Problems(GTlsCertificateFlags errors) {
  constexpr std::pair<GTlsCertificateFlags, CertificateProblem> kProblems[] = {
      {G_TLS_CERTIFICATE_UNKNOWN_CA, kCertificateUnknownIssuer},
      {G_TLS_CERTIFICATE_BAD_IDENTITY, kCertificateWrongName},
      {G_TLS_CERTIFICATE_NOT_ACTIVATED, kCertificateNotYetValid},
      {G_TLS_CERTIFICATE_EXPIRED, kCertificateExpired},
      {G_TLS_CERTIFICATE_REVOKED, kCertificateRevoked},
      {G_TLS_CERTIFICATE_INSECURE, kCertificateInsecure},
      {G_TLS_CERTIFICATE_GENERIC_ERROR, kCertificateOtherProblem},
  };
  unsigned problems = 0;
  for (const auto& [flag, problem] : kProblems)
    if (errors & flag) problems |= problem;
  // A refusal the engine gave no known reason for is still a problem to show.
  return problems ? problems : kCertificateOtherProblem;
}

}  // namespace

CertificateRejection DescribeRejection(const char* uri, GTlsCertificate* certificate,
                                       GTlsCertificateFlags errors) {
  CertificateRejection rejection;
  rejection.address = uri ? uri : "";
  rejection.host = HostOf(uri);
  rejection.problems = Problems(errors);
  if (!certificate) return rejection;
  rejection.subject = Text(g_tls_certificate_get_subject_name(certificate));
  rejection.issuer = Text(g_tls_certificate_get_issuer_name(certificate));
  rejection.validFrom = Seconds(g_tls_certificate_get_not_valid_before(certificate));
  rejection.validUntil = Seconds(g_tls_certificate_get_not_valid_after(certificate));
  rejection.fingerprint = Fingerprint(certificate);
  return rejection;
}

}  // namespace larkwend::gtk
