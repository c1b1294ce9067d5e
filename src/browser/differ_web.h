// SPDX-License-Identifier: GPL-3.0-or-later
// CDifferWeb: the page operations the login assistance needs.
//
// Stateless: each operation takes the document to work on and holds no reference after it
// returns. The two look-ups differ on purpose: the input operations search all elements by id
// *or* name (the first in document order), the click looks up by id alone.
#pragma once

#include <string>

#include "platform/dom.h"

namespace larkwend {

class CDifferWeb {
 public:
  CDifferWeb() = default;
  virtual ~CDifferWeb() = default;

  bool SetInputValue(dom::Document* document, const std::string& name, const std::string& value);
  bool GetInputValue(dom::Document* document, const std::string& name, std::string& text);
  bool ClickElementById(dom::Document* document, const std::string& id);

 private:
  static dom::Ref<dom::InputElement> FindInput(dom::Document* document, const std::string& name);
};

}  // namespace larkwend
