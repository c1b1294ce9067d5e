// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/session_copy.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace larkwend {
namespace {

CookieKey Cookie(const std::string& name, const std::string& domain = "learn.example",
                 const std::string& path = "/") {
  return {name, domain, path};
}

// The names (domain and path when not the usual ones) of what goes back into `jar`.
std::vector<std::string> PutBack(const SessionCopy& copy, const std::vector<CookieKey>& jar) {
  std::vector<std::string> names;
  for (std::size_t i : copy.ToPutBack(jar)) {
    const CookieKey& key = copy.keys().at(i);
    names.push_back(key.name + (key.domain == "learn.example" ? "" : "@" + key.domain) +
                    (key.path == "/" ? "" : key.path));
  }
  return names;
}

// A reading that starts and is answered at once.
void ReadNow(SessionCopy& copy, std::vector<CookieKey> jar) {
  copy.Read(copy.ReadingStarts(), std::move(jar));
}

TEST(SessionCopy, WhatGoesBackIntoTheJarOfANewProcess) {
  struct Case {
    const char* what;
    std::function<void(SessionCopy&)> before;  // what happened up to the loss, which follows
    std::vector<CookieKey> newJar;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"the whole session into an empty jar",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid"), Cookie("lang")});
       },
       {},
       {"sid", "lang"}},
      {"never over a cookie the new jar holds (another account's login)",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid"), Cookie("lang")});
       },
       {Cookie("sid")},
       {"lang"}},
      {"the same name for another domain or path is another cookie",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid"), Cookie("sid", "portal.example"),
                     Cookie("sid", "learn.example", "/stu")});
       },
       {Cookie("sid", "portal.example")},
       {"sid", "sid/stu"}},
      {"a change read before the loss is in the copy",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid"), Cookie("gone")});
         c.Changed();
         ReadNow(c, {Cookie("sid")});
       },
       {},
       {"sid"}},
      {"a change no reading saw: nothing, a removed cookie could come back",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid"), Cookie("gone")});
         c.Changed();
       },
       {},
       {}},
      {"a reading that failed saw nothing",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid"), Cookie("gone")});
         c.Changed();
         c.ReadingStarts();  // and never answered
       },
       {},
       {}},
      {"a reading that started before the change did not see it",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid"), Cookie("gone")});
         const auto early = c.ReadingStarts();
         c.Changed();
         c.Read(early, {Cookie("sid"), Cookie("gone")});
       },
       {},
       {}},
      {"an older reading answered late does not undo a newer one",
       [](SessionCopy& c) {
         const auto early = c.ReadingStarts();
         c.Changed();
         ReadNow(c, {Cookie("sid")});
         c.Read(early, {Cookie("sid"), Cookie("gone")});
       },
       {},
       {"sid"}},
      {"changes after the loss are the new jar's",
       [](SessionCopy& c) {
         ReadNow(c, {Cookie("sid")});
         c.Lost();
         c.Changed();
       },
       {Cookie("lang")},
       {"sid"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    SessionCopy copy;
    test.before(copy);
    copy.Lost();
    EXPECT_EQ(PutBack(copy, test.newJar), test.expected);
    EXPECT_EQ(copy.BehindTheLostJar(), test.expected.empty() && !copy.keys().empty());
  }
}

TEST(SessionCopy, ALossIsOverOnceAJarThatHoldsTheSessionIsRead) {
  SessionCopy copy;
  ReadNow(copy, {Cookie("sid"), Cookie("gone")});
  copy.Changed();
  copy.Lost();
  ASSERT_TRUE(copy.BehindTheLostJar());
  // Whatever went back, the jar read next is the copy, and the next loss is judged on its own.
  ReadNow(copy, {Cookie("other")});
  EXPECT_FALSE(copy.BehindTheLostJar());
  copy.Lost();
  EXPECT_EQ(PutBack(copy, {}), std::vector<std::string>{"other"});
}

}  // namespace
}  // namespace larkwend
