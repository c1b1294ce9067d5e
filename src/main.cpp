// SPDX-License-Identifier: GPL-3.0-or-later
// Larkwend: a study assistant for the continuing-education portal and its study platform.
#include <gtk/gtk.h>

#include "app/quillmoor_app.h"
#include "platform/gtk/dialogs/end_on_signals.h"
#include "platform/gtk/gtk_platform.h"
#include "program_options.h"

int main(int argc, char** argv) {
  // SIGTERM (logging out), SIGINT and SIGHUP end the program as closing its window does.
  larkwend::gtk::EndOnSignals endOnSignals;
  // The command line is answered before GTK opens the display: --help and --version need none.
  larkwend::gtk::CommandLine commandLine{
      argc, argv, "larkwend " LARKWEND_VERSION,
      "Opens the study assistant's window on the continuing-education portal. The account and\n"
      "password typed there are kept in record.ini in the working directory; the launcher on\n"
      "PATH, larkwend, starts the program in ~/.local/share/larkwend. See larkwend(1)."};
  // The application is how the desktop is asked to stay awake and to show notifications.
  return larkwend::gtk::RunAsApplication(
      LARKWEND_APP_ID, larkwend::ProgramPlatformOptions(),
      [](larkwend::Platform& platform) {
        // The desktop entry and the icon carry the same id as the window's class, so the desktop
        // groups the window under its launcher (X11 name and class, Wayland app id). The
        // program's name stayed the command's until here, for --help's usage line.
        g_set_prgname(LARKWEND_APP_ID);
        gdk_set_program_class(LARKWEND_APP_ID);
        gtk_window_set_default_icon_name(LARKWEND_APP_ID);
        larkwend::TheApp().InitInstance(platform);
      },
      commandLine);
}
