// SPDX-License-Identifier: GPL-3.0-or-later
// The windowing layer on GTK: modal dialogs from templates, boxes without an owner, the bell.
#pragma once

#include <vector>

#include "platform/dialog.h"

namespace larkwend::gtk {

class GtkDialogWindow;

class GtkDialogSystem final : public DialogSystem {
 public:
  // Window timer periods are multiplied by `timerScale`.
  explicit GtkDialogSystem(double timerScale) : timerScale_(timerScale) {}

  // A dialog run while another one runs is owned by it and modal to it.
  int RunModal(const DialogTemplate& tmpl, DialogHandler& handler) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void Beep(unsigned type) override;

  // Brings the running dialogs to the front: the first (the main window), and the innermost
  // above it, where the student's input is awaited. False when none runs.
  bool PresentWindows();

 private:
  const double timerScale_;
  std::vector<GtkDialogWindow*> running_;  // innermost last
};

}  // namespace larkwend::gtk
