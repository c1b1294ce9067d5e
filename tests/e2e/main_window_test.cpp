// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the real desktop: the program runs in this process against the practice
// site, and a script looks at the window and presses its keys.
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "app/quillmoor_dlg.h"
#include "e2e_dialog_lookup.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "platform/gtk/dialogs/end_on_signals.h"
#include "platform/gtk/dialogs/picture_pixbuf.h"
#include "resources/pictures.h"
#include "resources/templates.h"
#include "scoped_working_dir.h"

namespace larkwend::e2e {
namespace {

// Runs the program without its update check: these tests need no update service.
ProgramRun RunWithoutUpdateCheck(const Script& script, ProgramOptions options = {}) {
  options.updateCheck = [](Platform&, std::string&) { return 1; };
  return RunProgram(options, script);
}

// Closes every usage dialog that opens, noting the text it showed.
struct UsageDialogCloser {
  explicit UsageDialogCloser(Program& program)
      : handler([](GtkWindow* w) { return DialogTemplateIdOf(w) == IDD_USAGE; },
                [&program](GtkWindow* w) { program.PressKey(GDK_KEY_Escape, w); }) {}
  WindowHandler handler;
};

// GTK reads the screen's scale and the theme once, as it starts. A test of a look runs in a
// process of its own: this program again, with the setting in its environment and only that
// test selected. True in that process, where the caller goes on to check the look.
bool InOwnProcessWith(const char* variable, const char* value) {
  if (const char* now = std::getenv(variable); now && std::string(now) == value) return true;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  std::unique_ptr<char, gtk::GFreeDeleter> self(g_file_read_link("/proc/self/exe", nullptr));
  char* argv[] = {self.get(), const_cast<char*>(filter.c_str()), nullptr};
  std::unique_ptr<char*, void (*)(char**)> env(
      g_environ_setenv(g_get_environ(), variable, value, TRUE), g_strfreev);
  char* out = nullptr;
  int status = 0;
  const bool started = g_spawn_sync(nullptr, argv, env.get(), G_SPAWN_DEFAULT, nullptr, nullptr,
                                    &out, nullptr, &status, nullptr);
  std::unique_ptr<char, gtk::GFreeDeleter> output(out);
  EXPECT_TRUE(started);
  if (output) std::cout << output.get();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << variable << "=" << value;
  // A filter that selected nothing would pass too.
  EXPECT_NE(std::string(output ? output.get() : "").find("[  PASSED  ] 1 test."),
            std::string::npos);
  return false;
}

// One pixel of an image surface (ARGB32 or RGB24, opaque), and how light it is.
GdkRGBA PixelOf(cairo_surface_t* surface, int x, int y) {
  const unsigned char* row =
      cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
  const guint32 argb = reinterpret_cast<const guint32*>(row)[x];
  return {((argb >> 16) & 0xff) / 255.0, ((argb >> 8) & 0xff) / 255.0, (argb & 0xff) / 255.0, 1};
}
double Luminance(const GdkRGBA& c) {
  return 0.2126 * c.red + 0.7152 * c.green + 0.0722 * c.blue;
}

// The banner control shows the banner drawn for `scale`, at 280 x 60 logical pixels or scaled
// down to fit its control: at scale 2 made from the large drawing, not the small one stretched.
void ExpectBannerDrawnFor(Program& program, int scale) {
  GtkWidget* banner = gtk_bin_get_child(GTK_BIN(program.Control(IDC_BANNER)));
  ASSERT_EQ(gtk_image_get_storage_type(GTK_IMAGE(banner)), GTK_IMAGE_SURFACE);
  cairo_surface_t* shown = nullptr;
  g_object_get(banner, "surface", &shown, nullptr);
  gtk::CairoSurfacePtr surface(shown);
  const GdkRectangle control = program.ControlRect(IDC_BANNER);
  const double fit = std::min({1.0, control.width / 280.0, control.height / 60.0});
  const int width = int(280 * fit), height = int(60 * fit);
  GtkRequisition logical;
  gtk_widget_get_preferred_size(banner, nullptr, &logical);
  EXPECT_EQ(logical.width, width);
  EXPECT_EQ(logical.height, height);

  gtk::GObjectPtr<GdkPixbuf> drawing = gtk::LoadPicture(PictureResource(IDB_BANNER, scale));
  ASSERT_EQ(gdk_pixbuf_get_width(drawing.get()), 280 * scale);
  if (width != 280 || height != 60)
    drawing = gtk::GObjectPtr<GdkPixbuf>::Adopt(
        gdk_pixbuf_scale_simple(drawing.get(), width * scale, height * scale, GDK_INTERP_BILINEAR));
  ASSERT_EQ(cairo_image_surface_get_width(shown), width * scale);
  ASSERT_EQ(cairo_image_surface_get_height(shown), height * scale);
  gtk::CairoSurfacePtr expected(gdk_cairo_surface_create_from_pixbuf(drawing.get(), 1, nullptr));
  for (int y = 0; y < height * scale; ++y)
    for (int x = 0; x < width * scale; ++x) {
      const GdkRGBA a = PixelOf(shown, x, y), b = PixelOf(expected.get(), x, y);
      ASSERT_TRUE(gdk_rgba_equal(&a, &b)) << x << ", " << y;
    }
}

// Every control of the strip and the foot lies inside the window and is as large as its content
// needs.
void ExpectNothingCut(Program& program) {
  for (int id : {IDC_USAGE, IDC_ACCOUNT, IDC_PASSWORD, IDC_QUICK_LOGIN, IDC_PERSONAL_CENTER,
                 IDC_COURSE_LIST, IDC_AUTO_STUDY, IDC_LOGIN_TYPE, IDC_BANNER, IDC_STUDY_ALL_COURSES,
                 IDC_MUTE, IDC_RUN_STATUS, IDC_OPEN_JOURNAL}) {
    SCOPED_TRACE(id);
    const GdkRectangle rect = program.ControlRect(id);
    EXPECT_LE(rect.x + rect.width, program.ClientRect().width);
    EXPECT_LE(rect.y + rect.height, program.ClientRect().height);
    GtkRequisition needed;
    gtk_widget_get_preferred_size(program.Control(id), &needed, nullptr);
    EXPECT_LE(needed.width, rect.width);
    EXPECT_LE(needed.height, rect.height);
  }
}

TEST(MainWindowOnTheDesktop, OpensOnThePortalLoginPageWithTheStoredCredentials) {
  PracticeSite site;  // with its update service, which has nothing newer
  ASSERT_TRUE(site.Ready()) << site.Error();
  fixtures::ScopedWorkingDir dir;
  std::ofstream("record.ini") << "[set]\nacount=Student01\npassword=pass123\n";
  ProgramOptions options;
  options.workingDirectory = dir.path();
  ProgramRun run = RunProgram(options, [](Program& program) {
    EXPECT_EQ(program.Title(), "Larkwend V3.1");
    EXPECT_EQ(program.Text(IDC_ACCOUNT), "Student01");
    EXPECT_EQ(program.Text(IDC_PASSWORD), "pass123");
    EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(program.Control(IDC_PASSWORD))));
    EXPECT_EQ(program.ComboItems(IDC_LOGIN_TYPE), (std::vector<std::string>{"身份证", "用户名"}));
    EXPECT_EQ(program.ComboSelection(IDC_LOGIN_TYPE), 0);
    EXPECT_EQ(program.Text(IDC_LOGIN_TYPE), "身份证");
    // The first control in tab order, the browser, has the focus.
    EXPECT_EQ(program.FocusedControl(), IDC_BROWSER);
    // The built-in pictures reach the window: the banner shows, and the window has its icon.
    ExpectBannerDrawnFor(program, 1);
    ExpectNothingCut(program);
    // The icon at the desktop's common sizes, and its drawing at twice the size for a scale of 2.
    GList* icons = gtk_window_get_icon_list(program.MainWindow());
    std::vector<int> iconSizes;
    for (GList* icon = icons; icon; icon = icon->next)
      iconSizes.push_back(gdk_pixbuf_get_width(GDK_PIXBUF(icon->data)));
    g_list_free(icons);
    EXPECT_EQ(iconSizes, (std::vector<int>{128, 64, 32, 16}));

    ASSERT_TRUE(program.WaitForPage(PracticeSite::PortalUrl("/login/")));
    EXPECT_EQ(program.EvaluateInPage("['txtUserName', 'txtPassword', 'sfyzNumber', 'btnLogin',"
                                     " 'btnLogin2'].every(id => document.getElementById(id))"),
              "true");
  });
  EXPECT_TRUE(run.mainWindowShown);
}

TEST(MainWindowOnTheDesktop, ResizingKeepsTheBrowsersCornerAndMargins) {
  RunWithoutUpdateCheck([](Program& program) {
    const GdkRectangle client = program.ClientRect();
    const GdkRectangle browser = program.ControlRect(IDC_BROWSER);
    // The browser fills the client area below the strip of controls, one unit from the right.
    EXPECT_EQ(browser.x, 0);
    EXPECT_GT(browser.y, program.ControlRect(IDC_USAGE).y + program.ControlRect(IDC_USAGE).height);
    const int rightMargin = client.width - browser.width;
    const int bottomMargin = client.height - browser.height;
    EXPECT_GT(rightMargin, 0);
    const GdkRectangle status = program.ControlRect(IDC_RUN_STATUS);
    const GdkRectangle journal = program.ControlRect(IDC_OPEN_JOURNAL);

    const GdkRectangle usage = program.ControlRect(IDC_USAGE);
    for (auto [width, height] : {std::pair{1250, 950}, {700, 420}, {client.width, client.height}}) {
      ASSERT_TRUE(program.Resize(width, height)) << width << " x " << height;
      const GdkRectangle after = program.ControlRect(IDC_BROWSER);
      EXPECT_EQ(after.x, browser.x);
      EXPECT_EQ(after.y, browser.y);
      EXPECT_EQ(width - after.width, rightMargin);
      EXPECT_EQ(height - after.height, bottomMargin);
      // The strip above does not move; the foot goes with the bottom edge.
      EXPECT_EQ(program.ControlRect(IDC_USAGE).x, usage.x);
      EXPECT_EQ(program.ControlRect(IDC_USAGE).y, usage.y);
      EXPECT_EQ(program.ControlRect(IDC_RUN_STATUS).y, status.y + height - client.height);
      EXPECT_EQ(program.ControlRect(IDC_RUN_STATUS).width, status.width + width - client.width);
      EXPECT_EQ(program.ControlRect(IDC_OPEN_JOURNAL).x, journal.x + width - client.width);
      EXPECT_EQ(program.ControlRect(IDC_OPEN_JOURNAL).y, journal.y + height - client.height);
    }
  });
}

TEST(MainWindowOnTheDesktop, TabFollowsTheStripFromLeftToRight) {
  RunWithoutUpdateCheck([](Program& program) {
    program.Focus(IDC_LOGIN_TYPE);
    ASSERT_EQ(program.FocusedControl(), IDC_LOGIN_TYPE);
    // The labels, the two rules and the banner are no tab stops; after the strip comes the
    // journal button at the foot, then the browser, the first control.
    for (int next : {IDC_ACCOUNT, IDC_PASSWORD, IDC_QUICK_LOGIN, IDC_PERSONAL_CENTER,
                     IDC_COURSE_LIST, IDC_AUTO_STUDY, IDC_STUDY_ALL_COURSES, IDC_MUTE, IDC_USAGE,
                     IDC_OPEN_JOURNAL, IDC_BROWSER}) {
      program.PressKey(GDK_KEY_Tab);
      EXPECT_EQ(program.FocusedControl(), next);
    }
  });
}

std::string AccessibleName(GtkWidget* widget) {
  const char* name = atk_object_get_name(gtk_widget_get_accessible(widget));
  return name ? name : "";
}

// What a screen reader reads: an edit by its label (and the label as what names it), the
// account edit by what the login type selects, the banner by what it opens.
TEST(MainWindowOnTheDesktop, ControlsCarryAccessibleNamesAndTheCheckBoxIsOne) {
  RunWithoutUpdateCheck([](Program& program) {
    GtkWidget* password = program.Control(IDC_PASSWORD);
    EXPECT_EQ(AccessibleName(password), "密码");
    AtkRelationSet* relations = atk_object_ref_relation_set(gtk_widget_get_accessible(password));
    AtkRelation* labelledBy =
        atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY);
    ASSERT_TRUE(labelledBy);
    GPtrArray* labels = atk_relation_get_target(labelledBy);
    ASSERT_EQ(labels->len, 1u);
    AtkObject* label = ATK_OBJECT(g_ptr_array_index(labels, 0));
    EXPECT_STREQ(atk_object_get_name(label), "密码");
    g_object_unref(relations);

    GtkWidget* account = program.Control(IDC_ACCOUNT);
    EXPECT_EQ(AccessibleName(account), "身份证号");
    program.SelectComboItem(IDC_LOGIN_TYPE, 1);
    EXPECT_EQ(AccessibleName(account), "用户名");

    EXPECT_EQ(AccessibleName(program.Control(IDC_BANNER)), "下载新版本");
    // The status line beside it names nothing.
    EXPECT_EQ(AccessibleName(program.Control(IDC_OPEN_JOURNAL)), "学习日志");

    // The check boxes: off at first, and a click reaches the program, which remembers it; the
    // sound goes off in the view itself.
    for (const auto& [id, name] :
         {std::pair{IDC_STUDY_ALL_COURSES, "学完全部课程"}, std::pair{IDC_MUTE, "静音"}}) {
      GtkWidget* box = program.Control(id);
      ASSERT_TRUE(GTK_IS_CHECK_BUTTON(box));
      EXPECT_EQ(AccessibleName(box), name);
      EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(box)));
      program.Click(id);
    }
    std::ifstream settings("config/larkwend/settings.ini");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(settings), {}),
              "[study]\nall_courses=1\nmuted=1\n");
    EXPECT_TRUE(webkit_web_view_get_is_muted(WEBKIT_WEB_VIEW(program.Control(IDC_BROWSER))));
  });
}

TEST(MainWindowOnTheDesktop, EnterInAnEditOrTheComboBoxPressesTheUsageButton) {
  RunWithoutUpdateCheck([](Program& program) {
    UsageDialogCloser closer(program);
    for (int control : {IDC_ACCOUNT, IDC_PASSWORD, IDC_LOGIN_TYPE}) {
      program.Focus(control);
      const int before = closer.handler.Handled();
      program.PressKey(GDK_KEY_Return);  // returns once the usage dialog is closed again
      EXPECT_EQ(closer.handler.Handled(), before + 1) << "from control " << control;
    }
    // On a push button, Enter presses that button: quick login has nothing to fill here.
    program.Focus(IDC_QUICK_LOGIN);
    program.PressKey(GDK_KEY_Return);
    EXPECT_EQ(closer.handler.Handled(), 3);
  });
}

TEST(MainWindowOnTheDesktop, EnterInTheUsageTextBreaksTheLineInsteadOfClosing) {
  RunWithoutUpdateCheck([](Program& program) {
    bool stayedOpen = false;
    WindowHandler usage([](GtkWindow* w) { return DialogTemplateIdOf(w) == IDD_USAGE; },
                        [&](GtkWindow* w) {
                          GtkWidget* edit = FindDialogControl(GTK_WIDGET(w), 1003);
                          ASSERT_TRUE(edit && GTK_IS_TEXT_VIEW(edit));
                          GtkTextBuffer* text = gtk_text_view_get_buffer(GTK_TEXT_VIEW(edit));
                          GtkTextIter end;
                          gtk_text_buffer_get_end_iter(text, &end);
                          gtk_text_buffer_place_cursor(text, &end);
                          const int lines = gtk_text_buffer_get_line_count(text);
                          program.PressKey(GDK_KEY_Return, w);
                          PumpFor(100);
                          stayedOpen = gtk_widget_get_visible(GTK_WIDGET(w));
                          EXPECT_EQ(gtk_text_buffer_get_line_count(text), lines + 1);
                          program.PressKey(GDK_KEY_Escape, w);
                        });
    program.Click(IDC_USAGE);
    EXPECT_EQ(usage.Handled(), 1);
    EXPECT_TRUE(stayedOpen);
  });
}

TEST(MainWindowOnTheDesktop, EscapeEndsTheProgram) {
  ProgramRun run =
      RunWithoutUpdateCheck([](Program& program) { program.PressKey(GDK_KEY_Escape); });
  EXPECT_TRUE(run.endedByProgram);
}

TEST(MainWindowOnTheDesktop, TheCloseBoxEndsTheProgram) {
  ProgramRun run =
      RunWithoutUpdateCheck([](Program& program) { gtk_window_close(program.MainWindow()); });
  EXPECT_TRUE(run.endedByProgram);
}

// Logging out sends SIGTERM: whatever dialog or box is open closes as its close box would, the
// main window after it, and the journal gets its last line.
TEST(MainWindowOnTheDesktop, SigtermClosesTheOpenDialogOrBoxAndEndsTheProgram) {
  struct Case {
    const char* what;
    int button;  // opens it
    std::function<bool(GtkWindow*)> isIt;
  };
  const Case cases[] = {
      {"usage dialog", IDC_USAGE, [](GtkWindow* w) { return DialogTemplateIdOf(w) == IDD_USAGE; }},
      {"message box", IDC_AUTO_STUDY, [](GtkWindow* w) { return ViewOf(w).title == "提示"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixtures::ScopedWorkingDir state;
    ProgramOptions options;
    options.stateHome = state.path();
    gtk::EndOnSignals endOnSignals;
    WindowHandler logout(c.isIt, [](GtkWindow*) { ::kill(::getpid(), SIGTERM); });
    bool closed = false;
    ProgramRun run = RunWithoutUpdateCheck(
        [&](Program& program) {
          program.Click(c.button);  // returns once it is closed
          closed = true;
        },
        options);
    EXPECT_EQ(logout.Handled(), 1);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(run.endedByProgram);
    std::ifstream journal(state.path() / "larkwend/journal.log");
    std::string line, last;
    while (std::getline(journal, line)) last = line;
    EXPECT_EQ(last.substr(std::min<std::size_t>(20, last.size())), "程序结束");
  }
}

TEST(MainWindowOnTheDesktop, AtScaleTwoTheBannerIsTheLargeDrawingAndNothingIsCut) {
  if (!InOwnProcessWith("GDK_SCALE", "2")) return;
  RunWithoutUpdateCheck([](Program& program) {
    ASSERT_EQ(gtk_widget_get_scale_factor(GTK_WIDGET(program.MainWindow())), 2);
    ExpectBannerDrawnFor(program, 2);
    ExpectNothingCut(program);
  });
}

TEST(MainWindowOnTheDesktop, InADarkThemeTheFramesAreDrawnInTheThemesLightTextColour) {
  if (!InOwnProcessWith("GTK_THEME", "Adwaita:dark")) return;
  RunWithoutUpdateCheck([](Program& program) {
    GtkWidget* window = GTK_WIDGET(program.MainWindow());
    gtk::CairoSurfacePtr shown(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                                          gtk_widget_get_allocated_width(window),
                                                          gtk_widget_get_allocated_height(window)));
    cairo_t* cr = cairo_create(shown.get());
    gtk_widget_draw(window, cr);
    cairo_destroy(cr);
    cairo_surface_flush(shown.get());
    // The two rules of the strip, the layout's only drawing areas besides the browser.
    int frames = 0;
    GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(window))));
    for (GList* child = children; child; child = child->next) {
      GtkWidget* frame = GTK_WIDGET(child->data);
      if (!GTK_IS_DRAWING_AREA(frame) || frame == program.Control(IDC_BROWSER)) continue;
      ++frames;
      int x = 0, y = 0;
      gtk_widget_translate_coordinates(frame, window, 0, 0, &x, &y);
      GdkRGBA text;
      GtkStyleContext* style = gtk_widget_get_style_context(frame);
      gtk_style_context_get_color(style, gtk_style_context_get_state(style), &text);
      const GdkRGBA drawn = PixelOf(shown.get(), x, y + gtk_widget_get_allocated_height(frame) / 2);
      EXPECT_NEAR(drawn.red, text.red, 1.5 / 255) << x;
      EXPECT_NEAR(drawn.green, text.green, 1.5 / 255) << x;
      EXPECT_NEAR(drawn.blue, text.blue, 1.5 / 255) << x;
      // Light, and well apart from the window's background beside it.
      EXPECT_GT(Luminance(drawn) - Luminance(PixelOf(shown.get(), x - 3, y)), 0.4) << x;
    }
    g_list_free(children);
    EXPECT_EQ(frames, 2);
  });
}

}  // namespace
}  // namespace larkwend::e2e
