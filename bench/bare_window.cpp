// SPDX-License-Identifier: GPL-3.0-or-later
// A bare WebKit window: the engine alone, as the reference the program's cost is measured
// against. It shows the address given on its command line; the session is kept in memory only,
// as in the program, so neither writes a cache to disk, and pages may start media with sound.
//
// With --study, the page itself does, at the same periods, what the program does to it: every
// 45 s the chapter shown is compared with its required level and its completion control pressed
// once reached, the pop-up's close script is run 100 times, 100 ms apart, and, 5 s later, the
// first unfinished chapter opened. Script message boxes are answered at once. The engine then
// does all the work the program asks of it, and nothing of the program's own is left.
// LARKWEND_TIMER_SCALE scales these periods as it does larkwend-tuned's, the build of the program
// made for soak runs.
//
//   build/bin/bench_bare_window [--study] URL
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The study cycle as a page script of the practice site's chapter page (a frameset: the chapter
// list, then the content). It runs in the top frame, whose one interval keeps its phase across
// chapters as the program's timer does.
constexpr char kStudyScript[] = R"JS(
(() => {
  if (window !== window.top || !location.pathname.endsWith('/Study_v2.aspx')) return;
  const text = (d, id) => { const e = d.getElementById(id); return e ? e.innerText : null; };
  setInterval(() => {
    const content = frames[1], list = frames[0];
    if (!content || !list) return;
    const learned = text(content.document, 'learnedTime');
    const required = text(content.document, 'requiredTime');
    if (learned === null || required === null || learned < required) return;
    content.document.getElementById('btnFinish').click();
    // The program's pop-up timer: the close script, put into the page 100 times, 100 ms apart.
    let closes = 0;
    const close = setInterval(() => {
      if (++closes >= 100) clearInterval(close);
      try {
        const d = content.document, script = d.createElement('script');
        script.text = '$.Msg.tb_remove();';
        (d.head || d.documentElement).appendChild(script);
        script.remove();
      } catch (e) {}
    }, 100 * SCALE);
    setTimeout(() => {
      const next = list.document.querySelector('li.undone a');
      if (next) next.click();
    }, 5000 * SCALE);
  }, 45000 * SCALE);
})();
)JS";

// Script message boxes are closed as soon as they open.
gboolean AnswerAtOnce(WebKitWebView*, WebKitScriptDialog*, gpointer) {
  return TRUE;
}

// A new-window request opens its page in this view, as the program does.
GtkWidget* OpenHere(WebKitWebView* view, WebKitNavigationAction* action, gpointer) {
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (uri) webkit_web_view_load_uri(view, uri);
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const bool study = argc == 3 && std::strcmp(argv[1], "--study") == 0;
  if (argc != 2 && !study) {
    std::fprintf(stderr, "usage: %s [--study] URL\n", argv[0]);
    return 2;
  }
  const char* url = argv[argc - 1];
  gtk_init(&argc, &argv);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1186, 562);
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  // Pages may start their media with sound, as in the program: a courseware video's play() on
  // load needs no gesture.
  WebKitWebsitePolicies* policies =
      webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
  GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                            "website-policies", policies, nullptr));
  g_object_unref(policies);  // the view holds both
  g_object_unref(context);
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(view, "create", G_CALLBACK(OpenHere), nullptr);
  if (study) {
    // The same knob as larkwend-tuned's, so that a soak runs both at the same pace.
    const char* scale = g_getenv("LARKWEND_TIMER_SCALE");
    const std::string source = std::string("const SCALE = ") +
                               (scale && g_ascii_strtod(scale, nullptr) > 0 ? scale : "1") + ";" +
                               kStudyScript;
    WebKitUserContentManager* scripts =
        webkit_web_view_get_user_content_manager(WEBKIT_WEB_VIEW(view));
    WebKitUserScript* script =
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, nullptr, nullptr);
    webkit_user_content_manager_add_script(scripts, script);
    webkit_user_script_unref(script);
    g_signal_connect(view, "script-dialog", G_CALLBACK(AnswerAtOnce), nullptr);
  }
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
