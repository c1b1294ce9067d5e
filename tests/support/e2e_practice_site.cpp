// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_practice_site.h"

#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "resources/site_profile.h"

namespace larkwend::e2e {
namespace {

// "host:port" of a profile URL such as http://www.qmedu.localhost:18080/login/.
std::string Authority(std::string_view url) {
  url.remove_prefix(url.find("://") + 3);
  return std::string(url.substr(0, url.find('/')));
}

int PortOf(const std::string& authority) {
  return std::stoi(authority.substr(authority.rfind(':') + 1));
}

// Asks the site for its state through the portal's host name, as a browser would.
httplib::Result FetchState() {
  std::string portal = Authority(site::PortalLoginUrl);
  httplib::Client client("127.0.0.1", PortOf(portal));
  client.set_connection_timeout(2);
  client.set_read_timeout(5);
  return client.Get("/__state", {{"Host", portal}});
}

}  // namespace

PracticeSite::PracticeSite(std::vector<std::string> options) {
  std::vector<std::string> args{LARKWEND_PRACTICE_BIN};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // Should the test crash, the site goes with it instead of holding the shared ports.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid_ < 0) {
    error_ = std::string("cannot start ") + LARKWEND_PRACTICE_BIN;
    return;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "larkwend-practice ended at start (exit status " +
               std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
               "); are its ports already in use?";
      return;
    }
    auto answer = FetchState();
    if (answer && answer->status == 200) {
      auto state = JsonValue::Parse(answer->body);
      if (state && (*state)["pid"].Int() == pid_) {
        ready_ = true;
        return;
      }
      error_ = "another practice site holds the ports";  // ours will fail to bind and end
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  error_ = "larkwend-practice did not answer within 15 s";
}

PracticeSite::~PracticeSite() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 250; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::string PracticeSite::State() const {
  auto answer = FetchState();
  return answer && answer->status == 200 ? answer->body : std::string();
}

JsonValue PracticeSite::StateValue() const {
  return JsonValue::Parse(State()).value_or(JsonValue());
}

std::vector<PracticeLogin> PracticeSite::Logins() const {
  std::vector<PracticeLogin> logins;
  const JsonValue state = StateValue();  // outlives the loop over its members
  for (const JsonValue& l : state["logins"].Items()) {
    logins.push_back({l["kind"].String(), l["txtUserName"].String(), l["txtPassword"].String(),
                      l["sfyzNumber"].String(), l["txtCode"].String(), l["expectedCode"].String(),
                      l["outcome"].String()});
  }
  return logins;
}

std::string PracticeSite::LastVerificationCode() const {
  return StateValue()["lastCode"].String();
}

int PracticeSite::CompletedChapterCount() const {
  return static_cast<int>(StateValue()["completed"].Size());
}

std::vector<std::pair<int, int>> PracticeSite::CompletedChapters() const {
  std::vector<std::pair<int, int>> chapters;
  const JsonValue state = StateValue();
  for (const JsonValue& c : state["completed"].Items()) {
    chapters.emplace_back(static_cast<int>(c["course"].Int()),
                          static_cast<int>(c["chapter"].Int()));
  }
  return chapters;
}

const JsonValue& PracticeSite::Chapter(const JsonValue& state, int course, int chapter) const {
  return state["courses"][static_cast<std::size_t>(course - 1)]["chapters"]
              [static_cast<std::size_t>(chapter - 1)];
}

bool PracticeSite::ChapterDone(int course, int chapter) const {
  JsonValue state = StateValue();
  return Chapter(state, course, chapter)["done"].Bool();
}

double PracticeSite::LearnedSeconds(int course, int chapter) const {
  JsonValue state = StateValue();
  return Chapter(state, course, chapter)["learnedSeconds"].Number();
}

int PracticeSite::CurrentChapter(int course) const {
  return static_cast<int>(
      StateValue()["courses"][static_cast<std::size_t>(course - 1)]["current"].Int());
}

int PracticeSite::Stalls() const {
  return static_cast<int>(StateValue()["stalls"].Int());
}
int PracticeSite::Hangs() const {
  return static_cast<int>(StateValue()["hangs"].Int());
}
int PracticeSite::FinishRepeated() const {
  return static_cast<int>(StateValue()["finishRepeated"].Int());
}
int PracticeSite::Openings(int course, int chapter) const {
  JsonValue state = StateValue();
  return static_cast<int>(Chapter(state, course, chapter)["openings"].Int());
}
int PracticeSite::PopupsClosed() const {
  return static_cast<int>(StateValue()["popupsClosed"].Int());
}
int PracticeSite::FinishRefused() const {
  return static_cast<int>(StateValue()["finishRefused"].Int());
}

std::vector<std::string> PracticeSite::RefusedWithoutTheSession() const {
  std::vector<std::string> refused;
  for (const JsonValue& request : StateValue()["studySession"]["refused"].Items())
    refused.push_back(request.String());
  return refused;
}

int PracticeSite::LoginPagesShown() const {
  return static_cast<int>(StateValue()["codesIssued"].Int());
}

std::vector<long long> PracticeSite::OpenedAtMs(int course, int chapter) const {
  std::vector<long long> moments;
  const JsonValue state = StateValue();
  for (const JsonValue& ms : Chapter(state, course, chapter)["openedAtMs"].Items())
    moments.push_back(ms.Int());
  return moments;
}

int PracticeSite::NeverLoaded() const {
  return static_cast<int>(StateValue()["neverLoaded"].Int());
}

PracticeMedia PracticeSite::Media(int course, int chapter) const {
  const JsonValue state = StateValue();
  const JsonValue& c = Chapter(state, course, chapter);
  const JsonValue& m = c["media"];
  return {!m.IsNull(),
          c["video"].String(),
          m["played"].Number(),
          m["paused"].Bool(true),
          m["muted"].Bool(),
          m["volume"].Number(),
          static_cast<int>(m["error"].Int()),
          m["visibility"].String(),
          m["hidden"].Bool(),
          m["hasFocus"].Bool(),
          static_cast<int>(m["hiddenEvents"].Int()),
          static_cast<int>(m["blurEvents"].Int()),
          m["playError"].String(),
          m["currentTime"].Number(),
          static_cast<int>(m["readyState"].Int()),
          static_cast<int>(m["reports"].Int())};
}

PracticeOutage PracticeSite::Outage() const {
  const JsonValue state = StateValue();
  const JsonValue& o = state["outage"];
  PracticeOutage outage{o["kind"].String(),
                        o["started"].Bool(),
                        o["ended"].Bool(),
                        o["startedAtMs"].Int(-1),
                        o["endedAtMs"].Int(-1),
                        static_cast<int>(o["requests"].Int()),
                        static_cast<int>(o["heartbeats"].Int()),
                        {}};
  for (const JsonValue& r : o["requestLog"].Items())
    outage.log.push_back({r["atMs"].Int(), r["target"].String()});
  return outage;
}

std::vector<std::string> PracticeSite::UpdateRequests() const {
  std::vector<std::string> requests;
  const JsonValue state = StateValue();
  for (const JsonValue& r : state["updateRequests"].Items()) requests.push_back(r.String());
  return requests;
}

std::string PracticeSite::PortalUrl(const std::string& path) {
  return "http://" + Authority(site::PortalLoginUrl) + path;
}

std::string PracticeSite::StudyUrl(const std::string& path) {
  return "http://" + Authority(site::CourseListUrl) + path;
}

std::string PracticeSite::ChapterPageUrl(int course) {
  return StudyUrl("/stu/Study_v2.aspx?courseId=" + std::to_string(course));
}

}  // namespace larkwend::e2e
