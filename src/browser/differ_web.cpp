// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/differ_web.h"

#include "browser/conversions.h"

namespace larkwend {

dom::Ref<dom::InputElement> CDifferWeb::FindInput(dom::Document* document,
                                                  const std::string& name) {
  if (!document) return nullptr;
  dom::Ref<dom::ElementCollection> all;
  if (dom::Failed(document->get_all(all)) || !all) return nullptr;
  dom::Ref<dom::Dispatch> item;
  if (dom::Failed(all->item(ToWide(name), item)) || !item) return nullptr;
  dom::Ref<dom::InputElement> input;
  if (dom::Failed(dom::Query(item.get(), input))) return nullptr;
  return input;
}

bool CDifferWeb::SetInputValue(dom::Document* document, const std::string& name,
                               const std::string& value) {
  dom::Ref<dom::InputElement> input = FindInput(document, name);
  return input && dom::Succeeded(input->put_value(ToWide(value)));
}

bool CDifferWeb::GetInputValue(dom::Document* document, const std::string& name,
                               std::string& text) {
  dom::Ref<dom::InputElement> input = FindInput(document, name);
  if (!input) return false;
  dom::WideText value;
  if (dom::Failed(input->get_value(value))) return false;
  text = ToNarrow(value);
  return true;
}

bool CDifferWeb::ClickElementById(dom::Document* document, const std::string& id) {
  if (!document) return false;
  dom::Ref<dom::Document3> document3;
  if (dom::Failed(dom::Query(document, document3))) return false;
  dom::Ref<dom::Element> element;
  if (dom::Failed(document3->getElementById(ToWide(id), element)) || !element) return false;
  return dom::Succeeded(element->click());
}

}  // namespace larkwend
