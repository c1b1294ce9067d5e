// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for a web browser that the desktop starts over D-Bus: the session bus starts it on
// the first call for its name, and the links it is asked to open are written to a file, one a
// line. It ends once it has written them.
//   dbus_stand_in_browser RECORD-FILE
#include <gio/gio.h>

#include <fstream>
#include <string>

namespace {

constexpr const char* kApplicationId = "org.larkwend.StandInBrowser";

void OnOpen(GApplication* application, GFile** files, gint count, gchar*, gpointer record) {
  std::ofstream out(*static_cast<std::string*>(record), std::ios::app);
  for (gint i = 0; i < count; ++i) {
    gchar* uri = g_file_get_uri(files[i]);
    out << uri << '\n';
    g_free(uri);
  }
  out.flush();
  g_application_quit(application);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string record = argv[1];
  GApplication* application = g_application_new(
      kApplicationId,
      static_cast<GApplicationFlags>(G_APPLICATION_HANDLES_OPEN | G_APPLICATION_IS_SERVICE));
  g_signal_connect(application, "open", G_CALLBACK(OnOpen), &record);
  // The record file is no argument of the application's own.
  char* own[] = {argv[0], nullptr};
  const int status = g_application_run(application, 1, own);
  g_object_unref(application);
  return status;
}
