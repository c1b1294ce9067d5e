// SPDX-License-Identifier: GPL-3.0-or-later
#include "practice_server.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "http_util.h"
#include "portal_pages.h"
#include "study_pages.h"

namespace larkwend::practice {
namespace {

// Workers of the HTTP server: a browser keeps several connections to each host, each holding a
// worker while it is kept alive, and up to HeldRequests::kMaxHeld more may be held unanswered.
constexpr std::size_t kWorkers = 24;

StudyConfig StudyConfigOf(const PracticeOptions& o) {
  return {o.courses,        o.chapters,         o.finishedChapters, o.finishedCourses,
          o.chapterSeconds, o.timeScale,        o.stallChapter,     o.stallAfterSeconds,
          o.hangChapter,    o.hangAfterSeconds, o.hangEveryOpening, o.neverLoadsChapter,
          o.videoChapters};
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return true;
}

}  // namespace

PracticeServer::PracticeServer(PracticeOptions options, StudyClock clock)
    : options_(std::move(options)),
      clock_(std::move(clock)),
      portal_({options_.userName, options_.password, options_.idCard}, options_.fixedCode),
      study_(StudyConfigOf(options_), clock_),
      outage_(options_.outage, options_.outageAfterCompletions, options_.outageSeconds, clock_),
      signOut_(options_.signOutAfterCompletions, options_.signOutHow, clock_),
      session_(options_.cookieSession),
      context_{options_, SiteAddresses::FromProfile(),
               portal_,  study_,
               outage_,  signOut_,
               held_,    session_,
               0},
      router_(SiteAddresses::FromProfile()) {
  // httplib owns the queue it is given.
  http_.new_task_queue = [] { return std::make_unique<httplib::ThreadPool>(kWorkers).release(); };
}

PracticeServer::~PracticeServer() {
  Stop();
}

bool PracticeServer::Start(std::string& error) {
  std::string jquery;
  if (!ReadFile(options_.jqueryPath, jquery)) {
    error = "cannot read jQuery from " + options_.jqueryPath + " (package libjs-jquery)";
    return false;
  }
  AddPortalPages(router_, context_);
  AddStudyPages(router_, context_, std::move(jquery));
  router_.GetOnBoth("/__state", [this](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    SendJson(response, StateJson());
  });
  // An outage takes the study platform down, all but the state document; a platform that is up
  // may have signed the student out.
  router_.SetGate([this](Site site, const httplib::Request& request, httplib::Response& response) {
    if (site != Site::kStudy || request.path == "/__state") return false;
    OutageKind refused = outage_.Refuse(request.target, request.path == kHeartbeatPath);
    if (refused == OutageKind::kNone) return AnswerSignedOut(context_, request, response);
    RefuseRequest(refused, request, response);
    return true;
  });
  router_.Install(http_);
  if (options_.logRequests) {
    http_.set_logger([](const httplib::Request& request, const httplib::Response& response) {
      std::fprintf(stderr, "%s %s%s -> %d\n", request.method.c_str(),
                   request.get_header_value("Host").c_str(), request.target.c_str(),
                   response.status);
    });
  }

  if (options_.httpPort == 0) {
    context_.httpPort = http_.bind_to_any_port("127.0.0.1");
  } else if (http_.bind_to_port("127.0.0.1", options_.httpPort)) {
    context_.httpPort = options_.httpPort;
  }
  if (context_.httpPort <= 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(options_.httpPort);
    return false;
  }

  if (options_.tlsPort >= 0) {
    if (!tls_.Bind(options_, context_.addresses.studyHost, error)) return false;
    context_.tlsPort = tls_.Port();
    tls_.Serve(router_, kWorkers);
  }

  if (options_.updateService) {
    std::string link =
        options_.updateLink.empty() ? context_.PortalOrigin() + "/download/" : options_.updateLink;
    std::string body = options_.updateBody.value_or(options_.updateVersion + "|" + link);
    update_ = std::make_unique<UpdateService>(ToGbk(body), options_.updateFault);
    if (!update_->Start(options_.updatePort, error)) {
      update_.reset();
      return false;
    }
  }
  std::signal(SIGPIPE, SIG_IGN);  // httplib writes without MSG_NOSIGNAL
  httpThread_ = std::jthread([this] {
    http_.listen_after_bind();
    httpReturned_ = true;
  });
  return true;
}

void PracticeServer::Stop() {
  held_.ReleaseAll();  // the server waits for every handler to return
  if (httpThread_.joinable()) {
    // listen_after_bind may not have entered its loop yet; stop() must not race ahead of it.
    while (!http_.is_running() && !httpReturned_) std::this_thread::yield();
    http_.stop();
    httpThread_.join();
  }
  tls_.Stop();
  if (update_) update_->Stop();
}

std::string PracticeServer::StateJson() const {
  JsonObject state;
  // Tells a test which process answered, should an older site still hold the port.
  state.Add("pid", static_cast<std::int64_t>(::getpid()));
  state.Add("httpPort", context_.httpPort);
  state.Add("updatePort", UpdatePort());
  state.Add("tlsPort", context_.tlsPort);
  state.Add("tlsFingerprint", tls_.Fingerprint());
  // The moment of this document, so a reader can place the other moments in its own time.
  state.Add("nowMs", clock_.MsSinceStart(clock_.Now()));
  portal_.AddJson(state);
  study_.AddJson(state);
  outage_.AddJson(state);
  signOut_.AddJson(state);
  state.Add("completionsRefusedOnce", context_.quirks.CompletionsRefused());
  session_.AddJson(state);
  if (update_) {
    update_->AddJson(state);
  } else {
    state.AddRaw("updateRequests", "[]");
  }
  return state.str();
}

}  // namespace larkwend::practice
