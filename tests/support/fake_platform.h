// SPDX-License-Identifier: GPL-3.0-or-later
// In-memory platform services for unit tests: dialogs whose controls are plain values, timers the
// test fires, message boxes the test answers, and a recording shell, association table and
// desktop. Nothing here draws, sleeps or touches the network.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fake_browser.h"
#include "platform/clock.h"
#include "platform/desktop_session.h"
#include "platform/desktop_windows.h"
#include "platform/dialog.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace larkwend::fake {

struct ShownMessage {
  std::string text;     // GBK, as the program passed it
  std::string caption;  // GBK
  unsigned type;
  bool owned;  // owned by a dialog window (false: no owner)
};

class DialogSystem;

// The browser control as the dialog hands it out: it forwards everything to the in-memory
// control and notes the property puts and navigations in the window's journal.
class JournalingBrowser : public BrowserControl {
 public:
  JournalingBrowser(Control& control, std::vector<std::string>& journal)
      : control_(control), journal_(journal) {}
  void Navigate(const dom::WideText& url) override;
  void Navigate2(const dom::WideText& url) override;
  dom::Status get_Document(dom::Ref<dom::Document>& out) override {
    return control_.get_Document(out);
  }
  dom::Status get_LocationURL(dom::WideText& out) override { return control_.get_LocationURL(out); }
  dom::Status get_ReadyState(long& out) override { return control_.get_ReadyState(out); }
  void put_Silent(bool silent) override;
  void Refresh() override { control_.Refresh(); }
  dom::Ref<dom::Dispatch> ControlIdentity() override { return control_.ControlIdentity(); }
  bool HasWindow() const override { return control_.HasWindow(); }
  void SetEventSink(BrowserEvents* sink) override { control_.SetEventSink(sink); }
  void LoadAgain(const dom::WideText& url) override { control_.LoadAgain(url); }
  bool StopLoading() override { return control_.StopLoading(); }
  void EndPageProcess() override { control_.EndPageProcess(); }
  void ShowErrorPages(bool show) override { control_.ShowErrorPages(show); }
  void SetMuted(bool muted) override { control_.SetMuted(muted); }
  void KeepPagesFocused(bool keep) override { control_.KeepPagesFocused(keep); }
  bool TrustCertificate(const std::string& host, const std::string& fingerprint) override {
    return control_.TrustCertificate(host, fingerprint);
  }

 private:
  Control& control_;
  std::vector<std::string>& journal_;
};

class DialogWindow : public larkwend::DialogWindow {
 public:
  DialogWindow(DialogSystem& system, const DialogTemplate& tmpl, DialogHandler& handler);

  // larkwend::DialogWindow.
  void SetTitle(const std::string& text) override;
  void SetIcon(int iconResource) override;
  std::string GetItemText(int id) override;
  void SetItemText(int id, const std::string& text) override;
  void AddComboItem(int id, const std::string& text) override;
  int GetComboSelection(int id) override;
  void SetComboSelection(int id, int index) override;
  PixelRect GetItemRect(int id) override;
  PixelRect GetClientRect() override {
    journal_.push_back("GetClientRect");
    return {0, 0, clientWidth_, clientHeight_};
  }
  void SetItemSize(int id, int width, int height) override;
  void MoveItem(int id, int x, int y, int width, int height) override;
  bool GetCheck(int id) override;
  void SetCheck(int id, bool checked) override;
  // Nothing reads names here: the in-memory window has no accessibility tree.
  void SetItemAccessibleName(int, const std::string&) override {}
  BrowserControl* GetBrowserControl(int id) override;
  void SetTimer(unsigned id, unsigned periodMs) override;
  void KillTimer(unsigned id) override { timers_.erase(id); }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void EndDialog(int result) override { result_ = result; }
  void RequestAttention() override { journal_.push_back("RequestAttention"); }

  // Test side.
  const std::string& title() const { return title_; }
  // Running timers by id, with their periods.
  const std::map<unsigned, unsigned>& timers() const { return timers_; }
  bool TimerRunning(unsigned id) const { return timers_.count(id) != 0; }
  // Delivers one tick of a running timer; false when it does not run.
  bool FireTimer(unsigned id);
  // A click; on a check box it turns the check over first, as the real one does.
  void Click(int id);
  void Resize(int clientWidth, int clientHeight);
  std::optional<int> result() const { return result_; }
  Control& browser() { return *browser_; }
  // What the program did to the window, in order: "SetIcon 128", "GetItemRect 1000",
  // "GetClientRect", "SetTitle <text>", "SetItemText <id> <text>", "AddComboItem <id> <text>",
  // "SetComboSelection <id> <index>", "SetCheck <id> <0|1>", and from the browser "Silent <0|1>",
  // "Navigate <url>", "Navigate2 <url>" (texts GBK, as passed).
  const std::vector<std::string>& journal() const { return journal_; }

 private:
  struct Item {
    ControlKind kind;
    std::string text;
    std::vector<std::string> comboItems;
    int selection = -1;
    PixelRect rect;
    bool checked = false;
  };

  DialogSystem& system_;
  DialogHandler& handler_;
  std::map<int, Item> items_;
  std::map<unsigned, unsigned> timers_;
  std::vector<std::string> journal_;
  std::unique_ptr<Control> browser_;
  std::unique_ptr<JournalingBrowser> journalingBrowser_;
  std::string title_;
  int clientWidth_, clientHeight_;
  std::optional<int> result_;
};

class DialogSystem : public larkwend::DialogSystem {
 public:
  explicit DialogSystem(Host& host) : host_(host) {}

  // Runs the template: builds its window, attaches the handler, initialises it, then hands the
  // window to the test's `onModal` (if any) and returns the result it ended with (IDCANCEL if
  // it never ended). A window lives as long as the system, so one handed out stays valid.
  int RunModal(const DialogTemplate& tmpl, DialogHandler& handler) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void Beep(unsigned type) override { beeps.push_back(type); }

  // Builds and initialises a window that stays open for the test to drive.
  DialogWindow& Open(const DialogTemplate& tmpl, DialogHandler& handler);

  // What the test scripts and reads.
  std::function<void(DialogWindow&)> onModal;
  std::deque<int> answers;  // answers to the next message boxes; IDOK (or IDNO) when empty
  std::vector<ShownMessage> messages;
  std::vector<unsigned> beeps;
  std::vector<int> templatesRun;  // ids of the dialogs run or opened, in order

  int NextAnswer(unsigned type);
  Host& host() const { return host_; }

 private:
  Host& host_;
  std::vector<std::unique_ptr<DialogWindow>> windows_;
};

class Shell : public larkwend::Shell {
 public:
  struct Call {
    std::string verb, file, parameters;
    int show;
  };
  std::intptr_t Execute(const std::string& verb, const std::string& file,
                        const std::string& parameters, int showCommand) override;
  unsigned StartCommandLine(const std::string& commandLine, int showCommand) override;

  std::intptr_t executeResult = 42;  // > 32: opened
  unsigned startResult = 33;         // > 31: started
  std::vector<Call> executed;
  std::vector<std::string> started;
  bool OpenLocalFile(const std::string& path) override {
    opened.push_back(path);
    return openResult;
  }
  bool openResult = true;
  std::vector<std::string> opened;
};

class FileAssociations : public larkwend::FileAssociations {
 public:
  // Sets a key's default value; a key set to nullopt exists without a value.
  void Set(const std::string& key, std::optional<std::string> defaultValue) {
    keys_[key] = std::move(defaultValue);
  }
  long OpenKey(const std::string& subKey, Key& key) override;
  long QueryDefaultValue(Key key, char* buffer, long capacity) override;
  void CloseKey(Key key) override { open_.erase(key); }
  std::size_t OpenKeys() const { return open_.size(); }

 private:
  std::map<std::string, std::optional<std::string>> keys_;
  std::map<Key, std::string> open_;
  Key next_ = 1;
};

class DesktopWindows : public larkwend::DesktopWindows {
 public:
  // Adds a top-level window with child texts; returns its id. Children get ids parent*100+n.
  WindowId AddWindow(const std::string& title, const std::vector<std::string>& children);
  void RemoveWindow(WindowId id);
  WindowId FindTopLevelWindow(const std::string& title) override;
  WindowId FindChildWindow(WindowId parent, const std::string& text) override;
  void PostClick(WindowId button) override;
  std::vector<WindowId> Clicks();
  // How often a top-level window was looked for.
  int Searches();

 private:
  struct Window {
    WindowId id;
    std::string title;
    std::vector<std::string> children;
  };
  std::mutex mutex_;
  std::vector<Window> windows_;
  std::vector<WindowId> clicks_;
  int searches_ = 0;
  WindowId next_ = 1;
};

// Time that moves only when the test says so.
class Clock final : public larkwend::Clock {
 public:
  TimePoint Now() const override { return now_; }
  CallId After(std::chrono::milliseconds delay, std::function<void()> call) override;
  void Cancel(CallId id) override { calls_.erase(id); }

  // Moves time on by `by`, running each call as its time comes, in time order.
  void Advance(std::chrono::milliseconds by);

 private:
  struct Call {
    TimePoint due;
    std::function<void()> call;
  };
  TimePoint now_{};
  CallId next_ = 1;
  std::map<CallId, Call> calls_;
};

// A desktop that grants every request and remembers them: suspend blocks held now and ever
// taken, and the notifications sent (texts UTF-8, as passed).
class DesktopSession final : public larkwend::DesktopSession {
 public:
  struct Notice {
    std::string id, title, body;
  };
  std::unique_ptr<SuspendBlock> BlockSuspend(const std::string& reason) override;
  void Notify(const std::string& id, const std::string& title, const std::string& body) override {
    notices.push_back({id, title, body});
  }

  int blocksHeld = 0;
  int blocksTaken = 0;
  std::string lastReason;
  std::vector<Notice> notices;
};

// Everything together, as the program's code receives it.
struct PlatformFixture {
  Host host;
  DialogSystem dialogs{host};
  Shell shell;
  FileAssociations associations;
  DesktopWindows desktop;
  Clock clock;
  DesktopSession session;
  larkwend::Platform platform{dialogs, shell, associations, desktop, clock, session};
};

}  // namespace larkwend::fake
