// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform over TLS: a self-signed certificate for its host, made at every start or
// kept in files, served on loopback only, and every link into the platform leading there.
#include <gtest/gtest.h>

#include <filesystem>

#include "scoped_working_dir.h"
#include "site_addresses.h"
#include "site_client.h"

namespace larkwend::practice::testing {
namespace {

const std::string& StudyHost() {
  return SiteAddresses::FromProfile().studyHost;
}

// How OpenSSL judges the certificate the site serves on `port` against `trusted` (a PEM file;
// empty: the system's authorities). The answer's own host check is not asked for.
long Verdict(int port, const std::string& trusted) {
  httplib::SSLClient client("127.0.0.1", port);
  client.enable_server_certificate_verification(true);
  if (!trusted.empty()) client.set_ca_cert_path(trusted.c_str());
  client.Get("/");
  return client.get_openssl_verify_result();
}

TEST(TlsTest, TheStudyPlatformIsServedOverTlsWithACertificateNobodyTrusts) {
  fixtures::ScopedWorkingDir dir;
  PracticeOptions options = TestOptions();
  options.openStudy = true;
  options.tlsPort = 0;
  options.tlsCertFile = "site.pem";
  options.tlsKeyFile = "site.key";
  std::string fingerprint;
  for (const char* start : {"made into the files", "read from them"}) {
    SCOPED_TRACE(start);
    RunningSite site(options);
    ASSERT_TRUE(site.Started()) << site.Error();
    const int port = site.State()["tlsPort"].Int();
    if (fingerprint.empty()) fingerprint = site.State()["tlsFingerprint"].String();
    EXPECT_EQ(site.State()["tlsFingerprint"].String(), fingerprint);
    EXPECT_EQ(fingerprint.size(), 95u);

    httplib::SSLClient tls("127.0.0.1", port);
    tls.enable_server_certificate_verification(false);
    auto list = tls.Get("/stu/clslist.aspx", {{"Host", StudyHost() + ":" + std::to_string(port)}});
    ASSERT_TRUE(list) << httplib::to_string(list.error());
    EXPECT_EQ(list->status, 200);
    // Even the list served over HTTP leads there.
    const std::string link = "href=\"https://" + StudyHost() + ":" + std::to_string(port) +
                             "/stu/Study_v2.aspx?courseId=1\"";
    EXPECT_NE(list->body.find(link), std::string::npos) << list->body;
    EXPECT_NE(site.Study().Get("/stu/clslist.aspx")->body.find(link), std::string::npos);

    EXPECT_NE(Verdict(port, ""), X509_V_OK) << "the system trusts the practice certificate";
    EXPECT_EQ(Verdict(port, "site.pem"), X509_V_OK) << "not the certificate kept in the file";
    EXPECT_FALSE(httplib::SSLClient("127.0.0.2", port).Get("/")) << "listens beyond 127.0.0.1";
  }
  EXPECT_EQ(std::filesystem::status("site.key").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  // Without files every start makes a new certificate; an expired one if asked.
  options.tlsCertFile = options.tlsKeyFile = "";
  RunningSite fresh(options);
  ASSERT_TRUE(fresh.Started()) << fresh.Error();
  EXPECT_NE(fresh.State()["tlsFingerprint"].String(), fingerprint);
  options.tlsCertFile = "expired.pem";
  options.tlsKeyFile = "expired.key";
  options.tlsExpired = true;
  RunningSite expired(options);
  ASSERT_TRUE(expired.Started()) << expired.Error();
  EXPECT_EQ(Verdict(expired.State()["tlsPort"].Int(), "expired.pem"), X509_V_ERR_CERT_HAS_EXPIRED);
  EXPECT_EQ(ParseOptions({"--tls-cert", "a.pem"}).error, "--tls-cert and --tls-key go together");
}

}  // namespace
}  // namespace larkwend::practice::testing
