// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/end_on_signals.h"

#include <glib-unix.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/posix/end_signals.h"

namespace larkwend::gtk {
namespace {

std::vector<ModalLoopCloser*> g_closers;  // innermost last

}  // namespace

EndOnSignals::EndOnSignals() : signals_(std::make_unique<posix::EndSignals>()) {
  if (const int fd = posix::EndRequestFd(); fd >= 0)
    watch_ = g_unix_fd_add(fd, G_IO_IN, &EndOnSignals::OnEndAsked, this);
}

EndOnSignals::~EndOnSignals() {
  if (watch_) g_source_remove(watch_);
}

gboolean EndOnSignals::OnEndAsked(gint, GIOCondition, gpointer self) {
  static_cast<EndOnSignals*>(self)->watch_ = 0;
  Diagnose(std::string("asked to end by ") + posix::EndSignalName() + ": closing " +
           std::to_string(g_closers.size()) + " modal window(s)");
  // A closer only asks its loop to end; none of them goes away while the others are called, but
  // the list is copied all the same, as a handler may run a loop of its own.
  const std::vector<ModalLoopCloser*> closers = g_closers;
  for (auto it = closers.rbegin(); it != closers.rend(); ++it)
    if (std::find(g_closers.begin(), g_closers.end(), *it) != g_closers.end()) (*it)->close_();
  // The descriptor stays readable: once is enough.
  return G_SOURCE_REMOVE;
}

bool EndAsked() {
  return posix::EndRequested();
}

ModalLoopCloser::ModalLoopCloser(std::function<void()> close) : close_(std::move(close)) {
  g_closers.push_back(this);
}

ModalLoopCloser::~ModalLoopCloser() {
  std::erase(g_closers, this);
}

}  // namespace larkwend::gtk
