// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "json.h"

namespace larkwend::practice {
namespace {

// A finite number not below zero; 0 for anything else, so a page can never report less than
// nothing or claim an infinite time.
double NonNegative(const httplib::Request& request, const char* name) {
  const std::string text = request.get_param_value(name);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return 0;
  return std::max(value, 0.0);
}

int Count(const httplib::Request& request, const char* name) {
  return static_cast<int>(std::min(NonNegative(request, name), 1e9));
}

bool Flag(const httplib::Request& request, const char* name) {
  return request.get_param_value(name) == "1";
}

}  // namespace

std::optional<MediaReport> MediaReportOf(const httplib::Request& request) {
  if (!request.has_param("played")) return std::nullopt;
  MediaReport report;
  report.played = NonNegative(request, "played");
  report.paused = Flag(request, "paused");
  report.muted = Flag(request, "muted");
  report.volume = std::min(NonNegative(request, "volume"), 1.0);
  report.error = Count(request, "error");
  report.visibility = request.get_param_value("visibility");
  report.hidden = Flag(request, "hidden");
  report.hasFocus = Flag(request, "hasFocus");
  report.hiddenEvents = Count(request, "hiddenEvents");
  report.blurEvents = Count(request, "blurEvents");
  report.playError = request.get_param_value("playError");
  report.currentTime = NonNegative(request, "currentTime");
  report.readyState = std::min(Count(request, "readyState"), 4);
  return report;
}

void ChapterMedia::Add(const MediaReport& report, double playedCredited, Seen& seen) {
  latest_ = report;
  played_ += playedCredited;
  ++reports_;
  // An opening's counts only grow; a smaller one is a page that counts anew, adding nothing.
  hiddenEvents_ += std::max(report.hiddenEvents - seen.hiddenEvents, 0);
  blurEvents_ += std::max(report.blurEvents - seen.blurEvents, 0);
  seen.hiddenEvents = std::max(report.hiddenEvents, seen.hiddenEvents);
  seen.blurEvents = std::max(report.blurEvents, seen.blurEvents);
}

std::string ChapterMedia::Json() const {
  return JsonObject()
      .Add("played", played_)
      .Add("paused", latest_.paused)
      .Add("muted", latest_.muted)
      .Add("volume", latest_.volume)
      .Add("error", latest_.error)
      .Add("visibility", latest_.visibility)
      .Add("hidden", latest_.hidden)
      .Add("hasFocus", latest_.hasFocus)
      .Add("hiddenEvents", hiddenEvents_)
      .Add("blurEvents", blurEvents_)
      .Add("playError", latest_.playError)
      .Add("currentTime", latest_.currentTime)
      .Add("readyState", latest_.readyState)
      .Add("reports", reports_)
      .str();
}

}  // namespace larkwend::practice
