// SPDX-License-Identifier: GPL-3.0-or-later
// What a video chapter's page tells of its video in each heartbeat, and what the site keeps of
// it per chapter for the state document: the played time it credited, and the latest of
// everything else (paused, muted, volume, error, how the page sees itself).
#pragma once

#include <httplib.h>

#include <optional>
#include <string>

namespace larkwend::practice {

struct MediaReport {
  double played = 0;  // seconds currentTime advanced since the page's previous heartbeat
  bool paused = true;
  bool muted = false;
  double volume = 0;
  int error = 0;           // the element's error.code, 0 for none
  std::string visibility;  // document.visibilityState
  bool hidden = false;     // document.hidden
  bool hasFocus = false;   // document.hasFocus()
  int hiddenEvents = 0;    // visibilitychange events to hidden, since this opening loaded
  int blurEvents = 0;      // the window's blur events, since this opening loaded
  std::string playError;   // the name play() was refused with, empty while it was not
  double currentTime = 0;
  int readyState = 0;  // HAVE_NOTHING (0) to HAVE_ENOUGH_DATA (4)
};

// The media fields of a heartbeat's form; nullopt when it carries none (a text chapter's page).
// A field that is missing or not a number reads as nothing played, paused, no events.
std::optional<MediaReport> MediaReportOf(const httplib::Request& request);

// A chapter's video as its openings reported it.
class ChapterMedia {
 public:
  // Keeps `report` as the latest, `playedCredited` video seconds credited from it, and the
  // events the opening saw since it last reported (`seen` holds the opening's counts so far).
  struct Seen {
    int hiddenEvents = 0;
    int blurEvents = 0;
  };
  void Add(const MediaReport& report, double playedCredited, Seen& seen);

  // {"played", "paused", "muted", "volume", "error", "visibility", "hidden", "hasFocus",
  // "hiddenEvents", "blurEvents", "playError", "currentTime", "readyState", "reports"}; the event
  // counts are every opening's.
  std::string Json() const;

 private:
  MediaReport latest_;
  double played_ = 0;
  int hiddenEvents_ = 0;
  int blurEvents_ = 0;
  int reports_ = 0;
};

}  // namespace larkwend::practice
