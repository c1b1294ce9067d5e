// Larkwend: a study assistant for the continuing-education portal and its study platform.
#include <gtk/gtk.h>

#include "app/quillmoor_app.h"
#include "platform/gtk/gtk_platform.h"

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  larkwend::gtk::GtkPlatform platform;
  larkwend::TheApp().InitInstance(platform.platform());
  return 0;
}
