// Larkwend: a study assistant for the continuing-education portal and its study platform.
#include <gtk/gtk.h>

#include "app/quillmoor_app.h"
#include "platform/gtk/dialogs/end_on_signals.h"
#include "platform/gtk/gtk_platform.h"
#include "program_options.h"

int main(int argc, char** argv) {
  // The desktop entry and the icon carry the same id as the window's class, so the desktop
  // groups the window under its launcher (X11 class, Wayland app id).
  g_set_prgname(LARKWEND_APP_ID);
  // SIGTERM (logging out), SIGINT and SIGHUP end the program as closing its window does.
  larkwend::gtk::EndOnSignals endOnSignals;
  gtk_init(&argc, &argv);
  gdk_set_program_class(LARKWEND_APP_ID);
  gtk_window_set_default_icon_name(LARKWEND_APP_ID);
  // The application is how the desktop is asked to stay awake and to show notifications.
  return larkwend::gtk::RunAsApplication(
      LARKWEND_APP_ID, larkwend::ProgramPlatformOptions(),
      [](larkwend::Platform& platform) { larkwend::TheApp().InitInstance(platform); });
}
