// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/desktop_shell.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/desktop_exec.h"
#include "platform/diagnostics.h"
#include "platform/gtk/common/gobject_ptr.h"
#include "platform/posix/program_start.h"
#include "platform/text.h"

namespace larkwend::gtk {
namespace {

// The shell's own result values.
constexpr std::intptr_t kDone = 42;  // anything above 32
constexpr std::intptr_t kFileNotFound = 2;
constexpr std::intptr_t kAccessDenied = 5;
constexpr std::intptr_t kNoAssociation = 31;

constexpr const char* kHtmlExtension = ".htm";
constexpr const char* kOpenCommandSuffix = "\\shell\\open\\command";
constexpr const char* kPlainBrowserName = "IEXPLORE";
constexpr const char* kPlainBrowserProgram = "x-www-browser";

struct GErrorDeleter {
  void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

struct StrvDeleter {
  void operator()(gchar** v) const { g_strfreev(v); }
};

bool EqualsNoCase(const std::string& a, const char* b) {
  return g_ascii_strcasecmp(a.c_str(), b) == 0;
}

std::intptr_t ResultOf(const GError* error) {
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND) ||
      g_error_matches(error, G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT))
    return kFileNotFound;
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED) ||
      g_error_matches(error, G_SPAWN_ERROR, G_SPAWN_ERROR_ACCES))
    return kAccessDenied;
  return kNoAssociation;
}

// A link stays as it is; a file name becomes a file: URI.
std::string UriOf(const std::string& utf8) {
  if (std::unique_ptr<char, GFreeDeleter> scheme{g_uri_parse_scheme(utf8.c_str())}) return utf8;
  auto file = GObjectPtr<GFile>::Adopt(g_file_new_for_commandline_arg(utf8.c_str()));
  std::unique_ptr<char, GFreeDeleter> uri{g_file_get_uri(file.get())};
  return uri ? uri.get() : utf8;
}

// How long a launch may take to be confirmed. The program may end right after asking: a browser
// started over D-Bus gets the link in a call that the bus drops once its sender has gone, so the
// launch is waited for until the browser has taken it, within this bound.
constexpr guint kLaunchWaitMs = 5000;

struct Launch {
  bool done = false;
  ErrorPtr error;
};

// Launches the default handler of `uri` and waits, with a main context of its own so that nothing
// else of the program runs meanwhile, until the launch is complete or the bound has passed.
std::intptr_t LaunchAndWait(const std::string& uri, GAppLaunchContext* context) {
  auto own = std::unique_ptr<GMainContext, decltype(&g_main_context_unref)>(g_main_context_new(),
                                                                            g_main_context_unref);
  g_main_context_push_thread_default(own.get());
  auto cancel = GObjectPtr<GCancellable>::Adopt(g_cancellable_new());
  Launch launch;
  g_app_info_launch_default_for_uri_async(
      uri.c_str(), context, cancel.get(),
      [](GObject*, GAsyncResult* result, gpointer data) {
        auto* done = static_cast<Launch*>(data);
        GError* error = nullptr;
        if (!g_app_info_launch_default_for_uri_finish(result, &error)) done->error.reset(error);
        done->done = true;
      },
      &launch);
  GSource* bound = g_timeout_source_new(kLaunchWaitMs);
  g_source_set_callback(
      bound,
      [](gpointer c) -> gboolean {
        g_cancellable_cancel(static_cast<GCancellable*>(c));
        return G_SOURCE_REMOVE;
      },
      cancel.get(), nullptr);
  g_source_attach(bound, own.get());
  // A cancelled launch still completes, so the wait always ends and `launch` outlives it.
  while (!launch.done) g_main_context_iteration(own.get(), TRUE);
  g_source_destroy(bound);
  g_source_unref(bound);
  g_main_context_pop_thread_default(own.get());
  // Past the bound the browser may still have the link: the launch was asked for all the same.
  if (!launch.error || g_error_matches(launch.error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED))
    return kDone;
  return ResultOf(launch.error.get());
}

std::intptr_t LaunchOnDisplay(const std::string& uri) {
  // On a display, the launch carries it (and start-up notification) to the handler.
  GObjectPtr<GAppLaunchContext> context;
  if (GdkDisplay* display = gdk_display_get_default())
    context = GObjectPtr<GAppLaunchContext>::Adopt(
        G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)));
  return LaunchAndWait(uri, context.get());
}

std::intptr_t OpenWithDefaultHandler(const std::string& gbkFile) {
  return LaunchOnDisplay(UriOf(GbkToUtf8(gbkFile)));
}

// The Exec line of the desktop entry `id`, as an open command; nothing when there is no such
// entry or its line cannot be parsed.
std::optional<std::string> OpenCommandOf(const std::string& id) {
  auto info = GObjectPtr<GDesktopAppInfo>::Adopt(g_desktop_app_info_new(id.c_str()));
  if (!info) return std::nullopt;
  const char* exec = g_app_info_get_commandline(G_APP_INFO(info.get()));
  if (!exec) return std::nullopt;
  gint argc = 0;
  gchar** argv = nullptr;
  if (!g_shell_parse_argv(exec, &argc, &argv, nullptr)) return std::nullopt;
  std::unique_ptr<gchar*, StrvDeleter> owned(argv);
  return OpenCommandFromExec(std::vector<std::string>(argv, argv + argc));
}

// The default value of an association key, in UTF-8; nothing when the key does not exist.
std::optional<std::string> KeyValue(const std::string& name) {
  if (EqualsNoCase(name, kHtmlExtension)) {
    auto handler = GObjectPtr<GAppInfo>::Adopt(g_app_info_get_default_for_type("text/html", FALSE));
    const char* id = handler ? g_app_info_get_id(handler.get()) : nullptr;
    if (!id) return std::nullopt;
    return std::string(id);
  }
  const std::size_t suffixLength = std::strlen(kOpenCommandSuffix);
  if (name.size() > suffixLength &&
      EqualsNoCase(name.substr(name.size() - suffixLength), kOpenCommandSuffix))
    return OpenCommandOf(name.substr(0, name.size() - suffixLength));
  return std::nullopt;
}

}  // namespace

std::intptr_t DesktopShell::Execute(const std::string& verb, const std::string& file,
                                    const std::string& parameters, int) {
  if (!EqualsNoCase(verb, "open")) return kNoAssociation;
  if (EqualsNoCase(file, kPlainBrowserName)) {
    std::string commandLine = std::string(kPlainBrowserProgram) + " " + parameters;
    unsigned started = posix::StartCommandLine(commandLine);
    return started > 31 ? kDone : static_cast<std::intptr_t>(started);
  }
  return OpenWithDefaultHandler(file);
}

unsigned DesktopShell::StartCommandLine(const std::string& commandLine, int) {
  return posix::StartCommandLine(commandLine);
}

bool DesktopShell::OpenLocalFile(const std::string& path) {
  GError* error = nullptr;
  std::unique_ptr<char, GFreeDeleter> uri(g_filename_to_uri(path.c_str(), nullptr, &error));
  if (!uri) {
    Diagnose(std::string("cannot open ") + path + ": " + error->message);
    g_error_free(error);
    return false;
  }
  const std::intptr_t result = LaunchOnDisplay(uri.get());
  if (result <= 32) Diagnose(std::string("no application opened ") + uri.get());
  return result > 32;
}

long DesktopFileAssociations::OpenKey(const std::string& subKey, Key& key) {
  std::optional<std::string> value = KeyValue(GbkToUtf8(subKey));
  if (!value) return kFileNotFound;
  key = next_++;
  open_[key] = Utf8ToGbk(*value);
  return kSuccess;
}

long DesktopFileAssociations::QueryDefaultValue(Key key, char* buffer, long capacity) {
  auto it = open_.find(key);
  if (it == open_.end()) return kFileNotFound;
  const std::string& value = it->second;
  if (capacity <= 0 || value.size() + 1 > static_cast<std::size_t>(capacity)) return kMoreData;
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  return kSuccess;
}

}  // namespace larkwend::gtk
