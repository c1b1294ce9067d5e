// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/templates.h"

#include "resources/pictures.h"

namespace larkwend {

const DialogTemplate& MainDialogTemplate() {
  // Template order is the tab order. The caption is replaced at initialisation.
  static const DialogTemplate kMain{
      IDD_MAIN,
      701,
      362,
      "Larkwend",
      "MS Shell Dlg",
      8,
      /*resizable=*/true,
      // One control a line, as a table. The strip goes from left to right, so Tab does too; a
      // label names the control after it, and the status line, last, names none.
      // clang-format off
      {
          {1000, ControlKind::kBrowser, "", {0, 36, 700, 310}, kVisible | kTabStop},
          {1009, ControlKind::kComboBox, "", {5, 4, 42, 31},
           kVisible | kDropDownList | kVScroll | kTabStop},
          {1002, ControlKind::kEdit, "", {49, 4, 92, 12},
           kVisible | kBorder | kTabStop | kAutoHScroll},
          {-1, ControlKind::kLabel, "密码", {25, 23, 17, 8}, kVisible | kLeftAligned | kGroup},
          {1003, ControlKind::kEdit, "", {49, 20, 92, 12},
           kVisible | kBorder | kTabStop | kAutoHScroll | kPassword},
          {1004, ControlKind::kPushButton, "快捷登录", {148, 2, 50, 32}, kVisible | kTabStop},
          {-1, ControlKind::kBlackFrame, "", {206, 4, 1, 28}, kVisible},
          {1005, ControlKind::kPushButton, "个人中心", {214, 2, 50, 32}, kVisible | kTabStop},
          {1006, ControlKind::kPushButton, "课程列表", {270, 2, 50, 32}, kVisible | kTabStop},
          {1007, ControlKind::kPushButton, "自动学习", {326, 2, 50, 32}, kVisible | kTabStop},
          {1010, ControlKind::kCheckBox, "学完全部课程", {382, 5, 62, 12}, kVisible | kTabStop},
          {1013, ControlKind::kCheckBox, "静音", {382, 19, 62, 12}, kVisible | kTabStop},
          {-1, ControlKind::kBlackFrame, "", {450, 4, 1, 28}, kVisible},
          {1001, ControlKind::kPushButton, "使用说明", {458, 2, 50, 32},
           kVisible | kDefaultButton | kTabStop},
          {1008, ControlKind::kPicture, "", {513, 0, 187, 36}, kVisible | kNotify, IDB_BANNER},
          {1012, ControlKind::kPushButton, "学习日志", {646, 347, 50, 13}, kVisible | kTabStop},
          {1011, ControlKind::kLabel, "未开始学习", {5, 349, 630, 9},
           kVisible | kLeftAligned | kEndEllipsis},
      },
      // clang-format on
      1009,
      {"身份证", "用户名"},
      PictureResource,
  };
  return kMain;
}

const DialogTemplate& UsageDialogTemplate() {
  static const DialogTemplate kUsage{
      IDD_USAGE,
      320,
      158,
      "使用说明",
      "MS Shell Dlg",
      8,
      /*resizable=*/false,
      // One control a line, as a table.
      // clang-format off
      {
          {1003, ControlKind::kEdit, "", {5, 5, 308, 147},
           kVisible | kMultiLine | kBorder | kTabStop | kAutoVScroll | kAutoHScroll |
               kNoHideSelection | kWantReturn},
      },
      // clang-format on
      -1,
      {},
      PictureResource,
  };
  return kUsage;
}

const DialogTemplate& CertificateDialogTemplate() {
  // 继续 comes before 取消 in the tab order, as on the screen, and the focus starts on the text
  // (the first tab stop), where Enter presses the default, 取消. The note under the text comes
  // first in the template only so that no button is named after it.
  static const DialogTemplate kCertificate{
      IDD_CERTIFICATE,
      320,
      196,
      "安全警报",
      "MS Shell Dlg",
      8,
      /*resizable=*/false,
      // One control a line, as a table.
      // clang-format off
      {
          {-1, ControlKind::kLabel, "继续：信任此证书（只用于此网站），以后遇到它不再询问。",
           {7, 156, 306, 9}, kVisible | kLeftAligned},
          {-1, ControlKind::kLabel, "此网站的安全证书有问题，网页没有打开：", {7, 7, 306, 9},
           kVisible | kLeftAligned},
          {1001, ControlKind::kEdit, "", {7, 19, 306, 132},
           kVisible | kMultiLine | kBorder | kTabStop | kAutoVScroll | kAutoHScroll |
               kNoHideSelection | kReadOnly},
          {IDOK, ControlKind::kPushButton, "继续", {205, 175, 50, 14}, kVisible | kTabStop},
          {IDCANCEL, ControlKind::kPushButton, "取消", {263, 175, 50, 14},
           kVisible | kTabStop | kDefaultButton},
      },
      // clang-format on
      -1,
      {},
      PictureResource,
  };
  return kCertificate;
}

}  // namespace larkwend
