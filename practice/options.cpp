// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <string_view>

#include "site_addresses.h"

namespace larkwend::practice {
namespace {

// Parses a whole decimal integer within [low, high]; nullopt otherwise.
std::optional<int> ParseInt(std::string_view text, int low, int high) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> ParsePositiveDouble(std::string_view text, double high = 1e6) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || !(value > 0) || value > high) {
    return std::nullopt;
  }
  return value;
}

std::optional<UpdateFault> ParseFault(std::string_view text) {
  if (text == "none") return UpdateFault::kNone;
  if (text == "silent") return UpdateFault::kSilent;
  if (text == "close") return UpdateFault::kClose;
  if (text == "zero") return UpdateFault::kZeroLength;
  if (text == "negative") return UpdateFault::kNegativeLength;
  if (text == "short") return UpdateFault::kShortBody;
  if (text == "huge") return UpdateFault::kHugeLength;
  return std::nullopt;
}

std::optional<OutageKind> ParseOutage(std::string_view text) {
  if (text == "none") return OutageKind::kNone;
  if (text == "502") return OutageKind::kBadGateway;
  if (text == "drop") return OutageKind::kDrop;
  if (text == "maintenance") return OutageKind::kMaintenance;
  return std::nullopt;
}

std::optional<SignOutHow> ParseSignOutHow(std::string_view text) {
  if (text == "list-form") return SignOutHow::kListForm;
  if (text == "frame-redirect") return SignOutHow::kFrameRedirect;
  if (text == "break-out") return SignOutHow::kBreakOut;
  if (text == "top-redirect") return SignOutHow::kTopRedirect;
  if (text == "portal-frames") return SignOutHow::kPortalFrames;
  return std::nullopt;
}

// "2" or "1,3": course numbers, each once.
std::optional<std::vector<int>> ParseCourseList(std::string_view text) {
  std::vector<int> courses;
  for (;;) {
    const auto comma = text.find(',');
    auto course = ParseInt(text.substr(0, comma), 1, 50);
    if (!course || std::find(courses.begin(), courses.end(), *course) != courses.end())
      return std::nullopt;
    courses.push_back(*course);
    if (comma == std::string_view::npos) return courses;
    text.remove_prefix(comma + 1);
  }
}

std::optional<NeverLoads> ParseNeverLoads(std::string_view text) {
  if (text == "silent") return NeverLoads::kSilent;
  if (text == "spin") return NeverLoads::kSpin;
  return std::nullopt;
}

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

struct OptionSpec {
  std::string_view name;
  std::string_view argument;  // empty: a flag
  std::string_view help;
  // Applies the argument; returns false when it is not acceptable.
  std::function<bool(PracticeOptions&, std::string_view)> apply;
};

std::function<bool(PracticeOptions&, std::string_view)> IntInto(int PracticeOptions::*field,
                                                                int low, int high) {
  return [=](PracticeOptions& o, std::string_view v) {
    auto value = ParseInt(v, low, high);
    if (value) o.*field = *value;
    return value.has_value();
  };
}

std::function<bool(PracticeOptions&, std::string_view)> TextInto(
    std::string PracticeOptions::*field) {
  return [=](PracticeOptions& o, std::string_view v) {
    o.*field = std::string(v);
    return true;
  };
}

std::function<bool(PracticeOptions&, std::string_view)> SetFlag(bool PracticeOptions::*field) {
  return [=](PracticeOptions& o, std::string_view) {
    o.*field = true;
    return true;
  };
}

// Chapter times stay below 100 hours so that "hh:mm:ss" keeps two digits of hours and the
// textual order of two displays is their time order.
constexpr int kMaxChapterSeconds = 99 * 3600 + 59 * 60 + 59;
constexpr double kMaxOutageSeconds = 7 * 24 * 3600;

const std::vector<OptionSpec>& Specs() {
  static const std::vector<OptionSpec> specs = {
      {"--http-port", "N", "port of both web sites (default: the site profile's, 0: any free)",
       IntInto(&PracticeOptions::httpPort, 0, 65535)},
      {"--update-port", "N", "port of the update service (default: the site profile's)",
       IntInto(&PracticeOptions::updatePort, 0, 65535)},
      {"--no-update-service", "", "do not run the update service (connections are refused)",
       [](PracticeOptions& o, std::string_view) {
         o.updateService = false;
         return true;
       }},
      {"--tls-port", "N",
       "also serve the study platform over TLS on port N (0: any free), with a self-signed "
       "certificate, and lead every link into it there",
       IntInto(&PracticeOptions::tlsPort, 0, 65535)},
      {"--tls-cert", "FILE",
       "the certificate to serve (PEM); made, with its key, when the file does not exist",
       TextInto(&PracticeOptions::tlsCertFile)},
      {"--tls-key", "FILE", "the certificate's private key (PEM)",
       TextInto(&PracticeOptions::tlsKeyFile)},
      {"--tls-expired", "", "a certificate made now ended yesterday",
       SetFlag(&PracticeOptions::tlsExpired)},
      {"--courses", "N", "number of courses (1-50, default 2)",
       IntInto(&PracticeOptions::courses, 1, 50)},
      {"--chapters", "N", "chapters per course (1-999, default 4)",
       IntInto(&PracticeOptions::chapters, 1, 999)},
      {"--finished", "N", "the first N chapters of every course start finished (default 1)",
       IntInto(&PracticeOptions::finishedChapters, 0, 999)},
      {"--finished-courses", "LIST",
       "every chapter of these courses (comma-separated numbers, e.g. 2) starts finished",
       [](PracticeOptions& o, std::string_view v) {
         auto courses = ParseCourseList(v);
         if (courses) o.finishedCourses = std::move(*courses);
         return courses.has_value();
       }},
      {"--chapter-seconds", "S", "study seconds each chapter requires (default 90)",
       IntInto(&PracticeOptions::chapterSeconds, 1, kMaxChapterSeconds)},
      {"--time-scale", "X", "study seconds credited per real second (default 1)",
       [](PracticeOptions& o, std::string_view v) {
         auto value = ParsePositiveDouble(v);
         if (value) o.timeScale = *value;
         return value.has_value();
       }},
      {"--stall-chapter", "N",
       "chapter N of every course freezes the first time it is opened, until reloaded (0: none)",
       IntInto(&PracticeOptions::stallChapter, 0, 999)},
      {"--stall-after", "S", "study seconds into that opening when it freezes (default 10)",
       IntInto(&PracticeOptions::stallAfterSeconds, 0, kMaxChapterSeconds)},
      {"--hang-chapter", "N",
       "the content page of chapter N of every course spins its script forever the first time it "
       "is opened (0: none)",
       IntInto(&PracticeOptions::hangChapter, 0, 999)},
      {"--hang-after", "S", "study seconds into that opening when it starts spinning (default 0)",
       IntInto(&PracticeOptions::hangAfterSeconds, 0, kMaxChapterSeconds)},
      {"--hang-every-opening", "", "every opening of that chapter spins, not only the first",
       [](PracticeOptions& o, std::string_view) {
         o.hangEveryOpening = true;
         return true;
       }},
      {"--slow", "MS",
       "every study-platform page, and the answer to a completion, comes MS milliseconds late "
       "(default 0)",
       IntInto(&PracticeOptions::slowMs, 0, 60000)},
      {"--outage", "KIND",
       "502 (a proxy's error page), drop (connections closed unanswered) or maintenance (200 "
       "with a maintenance notice): the study platform is down for a while (default none)",
       [](PracticeOptions& o, std::string_view v) {
         auto kind = ParseOutage(v);
         if (kind) o.outage = *kind;
         return kind.has_value();
       }},
      {"--outage-after-completions", "N",
       "the outage starts when the Nth chapter completion is accepted (default 1; 0: at start)",
       IntInto(&PracticeOptions::outageAfterCompletions, 0, 100000)},
      {"--outage-seconds", "S", "length of the outage in seconds (default 60)",
       [](PracticeOptions& o, std::string_view v) {
         auto value = ParsePositiveDouble(v, kMaxOutageSeconds);
         if (value) o.outageSeconds = *value;
         return value.has_value();
       }},
      {"--sign-out-after-completions", "N",
       "the study platform signs the student out when the Nth chapter completion is accepted, "
       "until the next login on the portal (default 0: never)",
       IntInto(&PracticeOptions::signOutAfterCompletions, 0, 100000)},
      {"--sign-out-how", "HOW",
       "list-form (the login form at the frames' addresses), frame-redirect (the frames "
       "redirect to the login page), break-out (and it leaves the frame), portal-frames (the "
       "chapter page's frames show the portal's login page) or top-redirect (every page "
       "redirects; default)",
       [](PracticeOptions& o, std::string_view v) {
         auto how = ParseSignOutHow(v);
         if (how) o.signOutHow = *how;
         return how.has_value();
       }},
      {"--never-loads-chapter", "N",
       "the first opening of chapter N of every course never finishes loading (0: none)",
       IntInto(&PracticeOptions::neverLoadsChapter, 0, 999)},
      {"--never-loads-how", "HOW",
       "silent (its request is never answered) or spin (a script spins while the page is "
       "parsed; default silent)",
       [](PracticeOptions& o, std::string_view v) {
         auto how = ParseNeverLoads(v);
         if (how) o.neverLoadsHow = *how;
         return how.has_value();
       }},
      {"--content-placeholder", "",
       "the chapter page opens its content frame on a placeholder, not the current chapter",
       SetFlag(&PracticeOptions::contentPlaceholder)},
      {"--refuse-completion-once", "N",
       "the first completion of chapter N in each course is refused (HTTP 500, 提交失败) (0: none)",
       IntInto(&PracticeOptions::refuseCompletionOnce, 0, 999)},
      {"--foreign-frame", "", "each content page embeds a player frame of another host that fails",
       SetFlag(&PracticeOptions::foreignFrame)},
      {"--evaluation-after", "N",
       "completing chapter N opens a course evaluation with window.open (0: none)",
       IntInto(&PracticeOptions::evaluationChapter, 0, 999)},
      {"--odd-course-links", "",
       "the course list writes its links through .., with the host in capitals, with a token new "
       "at every load, or with the path in lower case and the number percent-encoded",
       SetFlag(&PracticeOptions::oddCourseLinks)},
      {"--user", "NAME", "portal user name (default Student01)",
       TextInto(&PracticeOptions::userName)},
      {"--password", "TEXT", "portal password (default pass123)",
       TextInto(&PracticeOptions::password)},
      {"--id-card", "NUMBER", "portal ID-card number (default 11010519491231002X)",
       TextInto(&PracticeOptions::idCard)},
      {"--fixed-code", "NNNN", "every verification code is NNNN instead of a random one",
       [](PracticeOptions& o, std::string_view v) {
         o.fixedCode = std::string(v);
         return v.size() == 4 && IsDigits(v);
       }},
      {"--open-study", "", "the study platform's pages need no login through the portal",
       SetFlag(&PracticeOptions::openStudy)},
      {"--cookie-session", "",
       "the study platform's session is its HttpOnly cookie alone: pages without it go to the "
       "portal's login page, the pages' own requests are refused with 401",
       SetFlag(&PracticeOptions::cookieSession)},
      {"--auto-student", "",
       "the pages act as a student: the login page fills in and submits itself, then on to "
       "course 1",
       SetFlag(&PracticeOptions::autoStudent)},
      {"--plain-chapters", "",
       "chapter frames without any script (no heartbeat: progress does not move)",
       SetFlag(&PracticeOptions::plainChapters)},
      {"--video-chapters", "LIST",
       "chapters are courseware videos, kinds taken in turn by chapter number: mp4 (H.264 + "
       "AAC), webm (VP9 + Opus), mse (fed through Media Source Extensions), broken (cannot "
       "play); e.g. mp4,webm (default: none, text chapters)",
       [](PracticeOptions& o, std::string_view v) {
         auto kinds = ParseVideoKinds(v);
         if (kinds) o.videoChapters = std::move(*kinds);
         return kinds.has_value();
       }},
      {"--video-pause-when", "WHEN",
       "never, hidden (the page pauses its video while hidden), blur (while its window has "
       "no focus) or both (default never)",
       [](PracticeOptions& o, std::string_view v) {
         auto when = ParsePauseWhen(v);
         if (when) o.videoPauseWhen = *when;
         return when.has_value();
       }},
      {"--update-version", "TEXT", "version number the update service announces (default 301)",
       TextInto(&PracticeOptions::updateVersion)},
      {"--update-link", "URL", "download link it announces (default: the portal's /download/)",
       TextInto(&PracticeOptions::updateLink)},
      {"--update-body", "TEXT", "raw reply text instead of \"version|link\" (sent in GBK)",
       [](PracticeOptions& o, std::string_view v) {
         o.updateBody = std::string(v);
         return true;
       }},
      {"--update-fault", "MODE",
       "none, silent, close, zero, negative, short (half the body, then close), huge",
       [](PracticeOptions& o, std::string_view v) {
         auto fault = ParseFault(v);
         if (fault) o.updateFault = *fault;
         return fault.has_value();
       }},
      {"--jquery", "PATH", "jQuery file to serve (default Debian's libjs-jquery)",
       TextInto(&PracticeOptions::jqueryPath)},
      {"--log", "", "print every HTTP request on standard error",
       SetFlag(&PracticeOptions::logRequests)},
  };
  return specs;
}

}  // namespace

PracticeOptions DefaultOptions() {
  PracticeOptions options;
  options.httpPort = SiteAddresses::FromProfile().httpPort;
  options.updatePort = SiteAddresses::FromProfile().updatePort;
  return options;
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
  ParseResult result{DefaultOptions(), false, false, {}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      result.help = true;
      continue;
    }
    if (arg == "--version") {
      result.version = true;
      continue;
    }
    std::string_view value;
    bool inlineValue = false;
    if (auto eq = arg.find('='); eq != std::string_view::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    const OptionSpec* spec = nullptr;
    for (const auto& candidate : Specs()) {
      if (candidate.name == arg) spec = &candidate;
    }
    if (!spec) {
      result.error = "unknown option " + std::string(arg);
      return result;
    }
    if (!spec->argument.empty() && !inlineValue) {
      if (i + 1 >= args.size()) {
        result.error = std::string(arg) + " needs " + std::string(spec->argument);
        return result;
      }
      value = args[++i];
    } else if (spec->argument.empty() && inlineValue) {
      result.error = std::string(arg) + " takes no value";
      return result;
    }
    if (!spec->apply(result.options, value)) {
      result.error = "bad value for " + std::string(arg) + ": " + std::string(value);
      return result;
    }
  }
  for (int course : result.options.finishedCourses) {
    if (course > result.options.courses) {
      result.error = "--finished-courses names course " + std::to_string(course) + " of " +
                     std::to_string(result.options.courses);
      return result;
    }
  }
  if (result.options.tlsCertFile.empty() != result.options.tlsKeyFile.empty()) {
    result.error = "--tls-cert and --tls-key go together";
    return result;
  }
  if (result.options.finishedChapters > result.options.chapters) {
    result.options.finishedChapters = result.options.chapters;
  }
  return result;
}

std::string UsageText() {
  std::string text =
      "Usage: larkwend-practice [options]\n"
      "Serves the practice portal and study platform on 127.0.0.1 (both hosts on one port,\n"
      "told apart by the Host header) and the update service on its own port.\n\n";
  for (const auto& spec : Specs()) {
    std::string left = "  " + std::string(spec.name);
    if (!spec.argument.empty()) left += " " + std::string(spec.argument);
    if (left.size() < 28)
      left.resize(28, ' ');
    else
      left += "\n" + std::string(28, ' ');
    text += left + std::string(spec.help) + "\n";
  }
  text += "  --help                    this text\n";
  text += "  --version                 the version\n";
  return text;
}

}  // namespace larkwend::practice
