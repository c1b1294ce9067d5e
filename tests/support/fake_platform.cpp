// SPDX-License-Identifier: GPL-3.0-or-later
#include "fake_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace larkwend::fake {
namespace {

// Dialog units to pixels with the base units of an 8-point dialog font (6 x 13 pixels).
PixelRect ToPixels(const DialogUnits& du) {
  return {du.x * 6 / 4, du.y * 13 / 8, du.width * 6 / 4, du.height * 13 / 8};
}

}  // namespace

// ---- dialog window ---------------------------------------------------------------------------

DialogWindow::DialogWindow(DialogSystem& system, const DialogTemplate& tmpl, DialogHandler& handler)
    : system_(system),
      handler_(handler),
      clientWidth_(tmpl.width * 6 / 4),
      clientHeight_(tmpl.height * 13 / 8) {
  title_ = Utf8ToGbk(tmpl.caption);
  for (const ControlTemplate& c : tmpl.controls) {
    if (c.id < 0) continue;
    Item item{c.kind, Utf8ToGbk(c.text), {}, -1, ToPixels(c.rect), false};
    items_[c.id] = std::move(item);
    if (c.kind == ControlKind::kBrowser) {
      browser_ = std::make_unique<Control>(system.host());
      journalingBrowser_ = std::make_unique<JournalingBrowser>(*browser_, journal_);
    }
  }
}

void DialogWindow::SetTitle(const std::string& text) {
  journal_.push_back("SetTitle " + text);
  title_ = text;
}

void DialogWindow::SetIcon(int iconResource) {
  journal_.push_back("SetIcon " + std::to_string(iconResource));
}

std::string DialogWindow::GetItemText(int id) {
  auto it = items_.find(id);
  if (it == items_.end()) return {};
  Item& item = it->second;
  if (item.kind == ControlKind::kComboBox)
    return item.selection >= 0 ? item.comboItems[static_cast<std::size_t>(item.selection)] : "";
  return item.text;
}

void DialogWindow::SetItemText(int id, const std::string& text) {
  journal_.push_back("SetItemText " + std::to_string(id) + " " + text);
  if (auto it = items_.find(id); it != items_.end()) it->second.text = text;
}

void DialogWindow::AddComboItem(int id, const std::string& text) {
  journal_.push_back("AddComboItem " + std::to_string(id) + " " + text);
  if (auto it = items_.find(id); it != items_.end()) it->second.comboItems.push_back(text);
}

int DialogWindow::GetComboSelection(int id) {
  auto it = items_.find(id);
  return it == items_.end() ? -1 : it->second.selection;
}

void DialogWindow::SetComboSelection(int id, int index) {
  journal_.push_back("SetComboSelection " + std::to_string(id) + " " + std::to_string(index));
  auto it = items_.find(id);
  if (it == items_.end()) return;
  bool valid = index >= 0 && index < static_cast<int>(it->second.comboItems.size());
  it->second.selection = valid ? index : -1;
}

PixelRect DialogWindow::GetItemRect(int id) {
  journal_.push_back("GetItemRect " + std::to_string(id));
  auto it = items_.find(id);
  return it == items_.end() ? PixelRect{0, 0, 0, 0} : it->second.rect;
}

void DialogWindow::SetItemSize(int id, int width, int height) {
  if (auto it = items_.find(id); it != items_.end()) {
    it->second.rect.width = width;
    it->second.rect.height = height;
  }
}

void DialogWindow::MoveItem(int id, int x, int y, int width, int height) {
  if (auto it = items_.find(id); it != items_.end()) it->second.rect = {x, y, width, height};
}

bool DialogWindow::GetCheck(int id) {
  auto it = items_.find(id);
  return it != items_.end() && it->second.kind == ControlKind::kCheckBox && it->second.checked;
}

void DialogWindow::SetCheck(int id, bool checked) {
  journal_.push_back("SetCheck " + std::to_string(id) + " " + (checked ? "1" : "0"));
  if (auto it = items_.find(id); it != items_.end() && it->second.kind == ControlKind::kCheckBox)
    it->second.checked = checked;
}

void DialogWindow::Click(int id) {
  if (auto it = items_.find(id); it != items_.end() && it->second.kind == ControlKind::kCheckBox)
    it->second.checked = !it->second.checked;
  handler_.OnCommand(id, BN_CLICKED);
}

BrowserControl* DialogWindow::GetBrowserControl(int id) {
  auto it = items_.find(id);
  return it != items_.end() && it->second.kind == ControlKind::kBrowser ? journalingBrowser_.get()
                                                                        : nullptr;
}

void DialogWindow::SetTimer(unsigned id, unsigned periodMs) {
  timers_[id] = periodMs;
}

int DialogWindow::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  system_.messages.push_back({text, caption, type, true});
  return system_.NextAnswer(type);
}

bool DialogWindow::FireTimer(unsigned id) {
  if (!TimerRunning(id)) return false;
  handler_.OnTimer(id);
  return true;
}

void DialogWindow::Resize(int clientWidth, int clientHeight) {
  clientWidth_ = clientWidth;
  clientHeight_ = clientHeight;
  handler_.OnSize(0, clientWidth, clientHeight);
}

// ---- browser journal -------------------------------------------------------------------------

void JournalingBrowser::Navigate(const dom::WideText& url) {
  journal_.push_back("Navigate " + url.value_or(""));
  control_.Navigate(url);
}

void JournalingBrowser::Navigate2(const dom::WideText& url) {
  journal_.push_back("Navigate2 " + url.value_or(""));
  control_.Navigate2(url);
}

void JournalingBrowser::put_Silent(bool silent) {
  journal_.push_back(std::string("Silent ") + (silent ? "1" : "0"));
  control_.put_Silent(silent);
}

// ---- dialog system ---------------------------------------------------------------------------

DialogWindow& DialogSystem::Open(const DialogTemplate& tmpl, DialogHandler& handler) {
  templatesRun.push_back(tmpl.id);
  windows_.push_back(std::make_unique<DialogWindow>(*this, tmpl, handler));
  DialogWindow& window = *windows_.back();
  handler.AttachWindow(&window);
  handler.OnInitDialog();
  return window;
}

int DialogSystem::RunModal(const DialogTemplate& tmpl, DialogHandler& handler) {
  DialogWindow& window = Open(tmpl, handler);
  if (onModal) onModal(window);
  handler.AttachWindow(nullptr);
  return window.result().value_or(IDCANCEL);
}

int DialogSystem::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  messages.push_back({text, caption, type, false});
  return NextAnswer(type);
}

int DialogSystem::NextAnswer(unsigned type) {
  if (!answers.empty()) {
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

// ---- shell and associations ------------------------------------------------------------------

std::intptr_t Shell::Execute(const std::string& verb, const std::string& file,
                             const std::string& parameters, int showCommand) {
  executed.push_back({verb, file, parameters, showCommand});
  return executeResult;
}

unsigned Shell::StartCommandLine(const std::string& commandLine, int) {
  started.push_back(commandLine);
  return startResult;
}

long FileAssociations::OpenKey(const std::string& subKey, Key& key) {
  if (!keys_.count(subKey)) return kFileNotFound;
  key = next_++;
  open_[key] = subKey;
  return kSuccess;
}

long FileAssociations::QueryDefaultValue(Key key, char* buffer, long capacity) {
  auto it = open_.find(key);
  if (it == open_.end()) return kFileNotFound;
  const std::optional<std::string>& value = keys_[it->second];
  std::string text = value.value_or("");
  if (capacity <= 0 || static_cast<long>(text.size()) + 1 > capacity) return kMoreData;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return kSuccess;
}

// ---- desktop ---------------------------------------------------------------------------------

WindowId DesktopWindows::AddWindow(const std::string& title,
                                   const std::vector<std::string>& children) {
  std::lock_guard lock(mutex_);
  windows_.push_back({next_, title, children});
  return next_++;
}

void DesktopWindows::RemoveWindow(WindowId id) {
  std::lock_guard lock(mutex_);
  std::erase_if(windows_, [id](const Window& w) { return w.id == id; });
}

WindowId DesktopWindows::FindTopLevelWindow(const std::string& title) {
  std::lock_guard lock(mutex_);
  ++searches_;
  for (const Window& w : windows_)
    if (w.title == title) return w.id;
  return 0;
}

int DesktopWindows::Searches() {
  std::lock_guard lock(mutex_);
  return searches_;
}

WindowId DesktopWindows::FindChildWindow(WindowId parent, const std::string& text) {
  std::lock_guard lock(mutex_);
  for (const Window& w : windows_)
    if (w.id == parent)
      for (std::size_t i = 0; i < w.children.size(); ++i)
        if (w.children[i] == text) return parent * 100 + i + 1;
  return 0;
}

void DesktopWindows::PostClick(WindowId button) {
  std::lock_guard lock(mutex_);
  clicks_.push_back(button);
}

std::vector<WindowId> DesktopWindows::Clicks() {
  std::lock_guard lock(mutex_);
  return clicks_;
}

Clock::CallId Clock::After(std::chrono::milliseconds delay, std::function<void()> call) {
  const CallId id = next_++;
  calls_[id] = {now_ + delay, std::move(call)};
  return id;
}

void Clock::Advance(std::chrono::milliseconds by) {
  const TimePoint end = now_ + by;
  for (;;) {
    auto soonest = std::min_element(calls_.begin(), calls_.end(), [](const auto& a, const auto& b) {
      return a.second.due < b.second.due || (a.second.due == b.second.due && a.first < b.first);
    });
    if (soonest == calls_.end() || soonest->second.due > end) break;
    now_ = std::max(now_, soonest->second.due);
    std::function<void()> call = std::move(soonest->second.call);
    calls_.erase(soonest);
    call();
  }
  now_ = end;
}

std::unique_ptr<DesktopSession::SuspendBlock> DesktopSession::BlockSuspend(
    const std::string& reason) {
  struct Held final : SuspendBlock {
    explicit Held(int& held) : held_(held) { ++held_; }
    ~Held() override { --held_; }
    int& held_;
  };
  ++blocksTaken;
  lastReason = reason;
  return std::make_unique<Held>(blocksHeld);
}

}  // namespace larkwend::fake
