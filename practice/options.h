// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options of the practice site: what it serves, how fast chapters progress, and
// how its update service answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "courseware.h"

namespace larkwend::practice {

// How the update service misbehaves, for the client's failure paths.
enum class UpdateFault {
  kNone,            // length and the whole body
  kSilent,          // accepts and reads, never answers
  kClose,           // closes right after accepting
  kZeroLength,      // length 0, nothing else
  kNegativeLength,  // length -1, nothing else
  kShortBody,       // the full length, half of the body, then close
  kHugeLength,      // length 0x7FFFFFFF, the body, then close
};

// How the study platform is down during an outage window.
enum class OutageKind {
  kNone,
  kBadGateway,   // a reverse proxy's 502 error page
  kDrop,         // every connection closed without an answer
  kMaintenance,  // 200 with a maintenance notice in place of every page
};

// How the study platform answers once it has signed the student out.
enum class SignOutHow {
  kListForm,       // the portal's login form at the frames' own addresses (200)
  kFrameRedirect,  // the frames' addresses redirect to the portal's login page
  kBreakOut,       // as kFrameRedirect, and the login page leaves the frame for the top
  kTopRedirect,    // every page redirects to the portal's login page
  kPortalFrames,   // the chapter page's frames show the portal's login page from its host
};

// How the first opening of the never-loading chapter fails to finish.
enum class NeverLoads {
  kSilent,  // the content page's request is never answered
  kSpin,    // the page is answered, but a script in its body spins while it is parsed
};

struct PracticeOptions {
  int httpPort = 0;    // 0: any free port (the default below is the site profile's port)
  int updatePort = 0;  // 0: any free port
  bool updateService = true;
  // The study platform over TLS as well (tls_server.h), its links leading there: -1 not,
  // 0 any free port.
  int tlsPort = -1;
  std::string tlsCertFile, tlsKeyFile;  // empty: a new certificate made at every start
  bool tlsExpired = false;              // a made certificate ended yesterday

  int courses = 2;
  int chapters = 4;                  // per course
  int finishedChapters = 1;          // the first N chapters of every course start finished
  std::vector<int> finishedCourses;  // every chapter of these courses starts finished
  int chapterSeconds = 90;           // study time each chapter requires
  double timeScale = 1.0;            // study seconds credited per real second

  int stallChapter = 0;  // chapter number (in every course) whose first opening freezes; 0: none
  int stallAfterSeconds = 10;  // study seconds into that opening when it freezes

  int hangChapter = 0;       // chapter number whose content page's script spins forever; 0: none
  int hangAfterSeconds = 0;  // study seconds into an opening when its script starts spinning
  bool hangEveryOpening = false;  // every opening of that chapter hangs, not only the first
  int slowMs = 0;                 // every study-platform page answers this many milliseconds late

  // The study platform goes down for `outageSeconds` once `outageAfterCompletions` chapter
  // completions have been accepted (0: from the start).
  OutageKind outage = OutageKind::kNone;
  int outageAfterCompletions = 1;
  double outageSeconds = 60;

  // The site signs the student out the moment the `signOutAfterCompletions`th chapter
  // completion is accepted (0: never), until the next successful login on the portal.
  int signOutAfterCompletions = 0;
  SignOutHow signOutHow = SignOutHow::kTopRedirect;

  int neverLoadsChapter = 0;  // chapter whose content page's first opening never loads; 0: none
  NeverLoads neverLoadsHow = NeverLoads::kSilent;
  // The chapter page opens its content frame on a placeholder instead of the current chapter.
  bool contentPlaceholder = false;

  // Everyday quirks of real platforms (quirks.h).
  int refuseCompletionOnce = 0;  // chapter whose first completion, in each course, is refused
  bool foreignFrame = false;  // each content page embeds a player frame of another host that fails
  int evaluationChapter = 0;  // chapter whose completion opens an evaluation with window.open
  bool oddCourseLinks = false;  // the course list writes its links in odd but valid ways

  std::string userName = "Student01";
  std::string password = "pass123";
  std::string idCard = "11010519491231002X";
  std::string fixedCode;   // when set, every verification code is this text
  bool openStudy = false;  // the study platform's pages need no study session
  // The study platform's session is its HttpOnly cookie alone, refused as a real platform
  // refuses it (study_session.h).
  bool cookieSession = false;
  // The pages act as a student would: the login page fills in the user-name form and submits
  // it, the personal centre and the course list go on to course 1's chapter page.
  bool autoStudent = false;
  bool plainChapters = false;  // the chapter frames carry no script at all
  // Chapters that are courseware videos, kinds taken in turn by chapter number (empty: none),
  // and when their pages pause the video themselves.
  std::vector<VideoKind> videoChapters;
  PauseWhen videoPauseWhen = PauseWhen::kNever;

  std::string updateVersion = "301";
  std::string updateLink;                 // empty: the portal's download page
  std::optional<std::string> updateBody;  // raw reply text (UTF-8), replaces "version|link"
  UpdateFault updateFault = UpdateFault::kNone;

  std::string jqueryPath = "/usr/share/javascript/jquery/jquery.min.js";
  bool logRequests = false;
};

// The options with the site profile's ports filled in.
PracticeOptions DefaultOptions();

struct ParseResult {
  PracticeOptions options;
  bool help = false;
  bool version = false;
  std::string error;  // non-empty: the arguments were not usable
};

// Parses `args` (without the program name) over DefaultOptions().
ParseResult ParseOptions(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace larkwend::practice
