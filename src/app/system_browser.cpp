// Placeholder: the system-browser opener arrives with the external-links work.
#include "app/system_browser.h"

namespace larkwend {

std::intptr_t OpenInSystemBrowser(Platform&, const std::string&) { return 2; }

}  // namespace larkwend
