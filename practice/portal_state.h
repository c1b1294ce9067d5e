// SPDX-License-Identifier: GPL-3.0-or-later
// What the portal remembers: browser sessions with their verification codes and logged-in
// accounts, the tickets that carry a login over to the study platform, and every login attempt.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "json.h"

namespace larkwend::practice {

struct PortalAccounts {
  std::string userName;
  std::string password;
  std::string idCard;
};

// The login form as posted.
struct LoginForm {
  std::string kind;  // "idcard" (button btnLogin) or "username" (button btnLogin2)
  std::string userName;
  std::string password;
  std::string idNumber;
  std::string code;
};

enum class LoginOutcome {
  kOk,
  kNoSession,   // no session cookie, or no code was shown to it
  kBadKind,     // the form did not say which login it is
  kBadCode,     // the verification code does not match
  kBadAccount,  // unknown account or wrong password
};

const char* LoginOutcomeName(LoginOutcome outcome);

class PortalState {
 public:
  PortalState(PortalAccounts accounts, std::string fixedCode);

  struct IssuedCode {
    std::string sessionId;  // differs from the one passed when that was unknown
    std::string code;
  };
  // A fresh verification code for the session `sessionId`, opening a new session when it is
  // empty or unknown. Each login page shows a new code; only the latest one counts. The codes
  // issued count the login pages shown.
  IssuedCode IssueCode(const std::string& sessionId);

  // Checks the form against the session's code and the accounts. The code is used up by any
  // attempt. On success the session is logged in with the account's canonical name.
  LoginOutcome Login(const std::string& sessionId, const LoginForm& form);

  std::optional<std::string> AccountOf(const std::string& sessionId) const;

  // The ticket that lets a logged-in session into the study platform; nullopt when not logged in.
  std::optional<std::string> TicketFor(const std::string& sessionId);
  std::optional<std::string> AccountOfTicket(const std::string& ticket) const;

  // Ends every session's login and forgets the tickets: the site has signed the student out.
  void SignOutAll();

  // A login page has finished loading in a browser (pages that report it: --auto-student).
  void RecordLoginShown();

  // Adds "logins", "lastCode", "codesIssued", "sessions" and "loginShown" (the steady clock's
  // nanoseconds at each report, comparable with the clock of another process on this machine).
  void AddJson(JsonObject& state) const;

 private:
  struct Session {
    std::string code;  // empty: none pending
    std::string account;
    std::string ticket;
  };
  struct Attempt {
    LoginForm form;
    std::string expectedCode;
    LoginOutcome outcome;
  };

  LoginOutcome Check(const Session& session, const LoginForm& form) const;

  const PortalAccounts accounts_;
  const std::string fixedCode_;
  mutable std::mutex mutex_;
  std::map<std::string, Session> sessions_;
  std::map<std::string, std::string> tickets_;  // ticket -> account
  std::vector<Attempt> attempts_;
  std::string lastCode_;
  int codesIssued_ = 0;
  std::vector<std::int64_t> loginShown_;
};

}  // namespace larkwend::practice
