// SPDX-License-Identifier: GPL-3.0-or-later
#include "portal_state.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "tokens.h"

namespace larkwend::practice {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

}  // namespace

const char* LoginOutcomeName(LoginOutcome outcome) {
  switch (outcome) {
    case LoginOutcome::kOk:
      return "ok";
    case LoginOutcome::kNoSession:
      return "no-session";
    case LoginOutcome::kBadKind:
      return "bad-kind";
    case LoginOutcome::kBadCode:
      return "bad-code";
    case LoginOutcome::kBadAccount:
      return "bad-account";
  }
  return "?";
}

PortalState::PortalState(PortalAccounts accounts, std::string fixedCode)
    : accounts_(std::move(accounts)), fixedCode_(std::move(fixedCode)) {}

PortalState::IssuedCode PortalState::IssueCode(const std::string& sessionId) {
  std::lock_guard lock(mutex_);
  std::string id = sessionId;
  if (id.empty() || !sessions_.contains(id)) id = NewToken();
  std::string code = fixedCode_.empty() ? NewVerificationCode() : fixedCode_;
  sessions_[id].code = code;
  lastCode_ = code;
  ++codesIssued_;
  return {id, code};
}

LoginOutcome PortalState::Check(const Session& session, const LoginForm& form) const {
  if (session.code.empty()) return LoginOutcome::kNoSession;
  if (form.kind != "idcard" && form.kind != "username") return LoginOutcome::kBadKind;
  if (form.code != session.code) return LoginOutcome::kBadCode;
  if (form.kind == "idcard") {
    // The check letter of an ID-card number may be typed either way.
    return EqualNoCase(form.idNumber, accounts_.idCard) ? LoginOutcome::kOk
                                                        : LoginOutcome::kBadAccount;
  }
  return EqualNoCase(form.userName, accounts_.userName) && form.password == accounts_.password
             ? LoginOutcome::kOk
             : LoginOutcome::kBadAccount;
}

LoginOutcome PortalState::Login(const std::string& sessionId, const LoginForm& form) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  LoginOutcome outcome = LoginOutcome::kNoSession;
  std::string expected;
  if (it != sessions_.end()) {
    expected = it->second.code;
    outcome = Check(it->second, form);
    it->second.code.clear();
    if (outcome == LoginOutcome::kOk) {
      it->second.account = form.kind == "idcard" ? accounts_.idCard : accounts_.userName;
    }
  }
  attempts_.push_back({form, expected, outcome});
  return outcome;
}

std::optional<std::string> PortalState::AccountOf(const std::string& sessionId) const {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end() || it->second.account.empty()) return std::nullopt;
  return it->second.account;
}

std::optional<std::string> PortalState::TicketFor(const std::string& sessionId) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(sessionId);
  if (it == sessions_.end() || it->second.account.empty()) return std::nullopt;
  if (it->second.ticket.empty()) {
    it->second.ticket = NewToken();
    tickets_[it->second.ticket] = it->second.account;
  }
  return it->second.ticket;
}

std::optional<std::string> PortalState::AccountOfTicket(const std::string& ticket) const {
  std::lock_guard lock(mutex_);
  auto it = tickets_.find(ticket);
  if (it == tickets_.end()) return std::nullopt;
  return it->second;
}

void PortalState::SignOutAll() {
  std::lock_guard lock(mutex_);
  for (auto& [id, session] : sessions_) {
    session.account.clear();
    session.ticket.clear();
  }
  tickets_.clear();
}

void PortalState::RecordLoginShown() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  std::lock_guard lock(mutex_);
  loginShown_.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

void PortalState::AddJson(JsonObject& state) const {
  std::lock_guard lock(mutex_);
  JsonArray logins;
  for (const auto& attempt : attempts_) {
    logins.AddRaw(JsonObject()
                      .Add("kind", attempt.form.kind)
                      .Add("txtUserName", attempt.form.userName)
                      .Add("txtPassword", attempt.form.password)
                      .Add("sfyzNumber", attempt.form.idNumber)
                      .Add("txtCode", attempt.form.code)
                      .Add("expectedCode", attempt.expectedCode)
                      .Add("outcome", LoginOutcomeName(attempt.outcome))
                      .str());
  }
  JsonArray sessions;
  for (const auto& [id, session] : sessions_) {
    sessions.AddRaw(
        JsonObject().Add("id", id).Add("code", session.code).Add("account", session.account).str());
  }
  state.AddRaw("logins", logins.str());
  state.Add("lastCode", lastCode_);
  state.Add("codesIssued", codesIssued_);
  state.AddRaw("sessions", sessions.str());
  JsonArray shown;
  for (std::int64_t at : loginShown_) shown.AddRaw(std::to_string(at));
  state.AddRaw("loginShown", shown.str());
}

}  // namespace larkwend::practice
