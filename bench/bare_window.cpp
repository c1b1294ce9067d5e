// A bare WebKit window: the engine alone, as the reference the program's cost is measured
// against. It shows the address given on its command line and does nothing else; the session is
// kept in memory only, as in the program, so neither writes a cache to disk.
//
//   build/bin/bench_bare_window URL
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>

namespace {

// A new-window request opens its page in this view, as the program does.
GtkWidget* OpenHere(WebKitWebView* view, WebKitNavigationAction* action, gpointer) {
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (uri) webkit_web_view_load_uri(view, uri);
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s URL\n", argv[0]);
    return 2;
  }
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1186, 562);
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, nullptr));
  g_object_unref(context);  // the view holds it
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(view, "create", G_CALLBACK(OpenHere), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
