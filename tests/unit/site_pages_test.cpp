// SPDX-License-Identifier: GPL-3.0-or-later
// What a page is, by its address, however the site happens to write it.
#include <gtest/gtest.h>

#include <string>

#include "automation/site_pages.h"

namespace larkwend {
namespace {

using namespace site_pages;

TEST(SitePages, OnePageWrittenManyWaysHasOneSpelling) {
  const std::string course = "http://learn.qmstudy.localhost:18080/stu/Study_v2.aspx?courseId=5";
  const std::string list = "http://learn.qmstudy.localhost:18080/stu/clslist.aspx";
  struct Case {
    std::string base, href, expected;
  };
  for (const Case& c : {
           Case{list, "Study_v2.aspx?courseId=5", course},
           Case{list, "../stu/./Study_v2.aspx?courseId=5", course},
           Case{list, "/x/../stu/Study_v2.aspx?courseId=5#top", course},
           Case{list, "HTTP://LEARN.QMSTUDY.LOCALHOST:18080/stu/Study_v2.aspx?courseId=5", course},
           Case{list, "//learn.qmstudy.localhost:18080/stu/%53tudy_v2.aspx?courseId=%35", course},
           Case{list, "?courseId=5", list + "?courseId=5"},
           Case{"http://a.localhost:80/x/y", "z/../w", "http://a.localhost/x/w"},
           Case{"https://a.localhost:443/", "/p%2fq%7e", "https://a.localhost/p%2Fq~"},
           Case{list, "http://other.localhost:8080", "http://other.localhost:8080/"},
           Case{list, "/a/b/..", "http://learn.qmstudy.localhost:18080/a/"},
       }) {
    SCOPED_TRACE(c.href);
    EXPECT_EQ(Resolve(c.base, c.href), c.expected);
    EXPECT_EQ(Canonical(c.expected), c.expected);
  }
  EXPECT_EQ(Canonical("not an address#x"), "not an address");
}

TEST(SitePages, EachKindOfPageIsToldByItsAddress) {
  struct Case {
    std::string address;
    bool study, chapter, courseList, login, userPage;
    ChapterFrame frame;
  };
  const std::string learn = "http://learn.qmstudy.localhost:18080";
  const std::string portal = "http://www.qmedu.localhost:18080";
  for (const Case& c : {
           Case{learn + "/stu/Study_v2.aspx?courseId=1", true, true, false, false, false,
                ChapterFrame::kNone},
           Case{learn + "/stu/study_v2.aspx?courseId=1", true, true, false, false, false,
                ChapterFrame::kNone},
           Case{learn + "/stu/clslist.aspx", true, false, true, false, false, ChapterFrame::kNone},
           Case{"http://LEARN.qmstudy.localhost:18080/stu/./clslist.aspx?t=9", true, false, true,
                false, false, ChapterFrame::kNone},
           Case{learn + "/stu/book_left.aspx?c=1", true, false, false, false, false,
                ChapterFrame::kList},
           Case{learn + "/stu/book_right.aspx?id=1-001", true, false, false, false, false,
                ChapterFrame::kContent},
           Case{"http://cdn.player.localhost/embed/right.html", false, false, false, false, false,
                ChapterFrame::kNone},
           Case{portal + "/login/?ReturnUrl=%2Fstu%2F", false, false, false, true, false,
                ChapterFrame::kNone},
           Case{"http://WWW.qmedu.localhost:18080/Login/", false, false, false, true, false,
                ChapterFrame::kNone},
           Case{portal + "/kvt/user/", false, false, false, false, true, ChapterFrame::kNone},
           Case{portal + "/loginhelp/", false, false, false, false, false, ChapterFrame::kNone},
       }) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(IsStudyPlatform(c.address), c.study);
    EXPECT_EQ(IsChapterPage(c.address), c.chapter);
    EXPECT_EQ(IsCourseList(c.address), c.courseList);
    EXPECT_EQ(IsLoginPage(c.address), c.login);
    EXPECT_EQ(IsPortalUserPage(c.address), c.userPage);
    EXPECT_EQ(FrameOf(c.address), c.frame);
  }
}

}  // namespace
}  // namespace larkwend
