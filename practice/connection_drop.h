// SPDX-License-Identifier: GPL-3.0-or-later
// Closing the connection a request arrived on, from inside the request's handler, so that the
// client gets no answer at all, as from a server that went away.
#pragma once

#include <httplib.h>

namespace larkwend::practice {

// Shuts down the connection `request` arrived on; false when it cannot be found. httplib hands
// a handler no socket, so the request's two addresses pick it out among the process's
// descriptors (while its handler runs, no other connection can have them). The socket is shut
// down, not closed: it stays httplib's to close, and the answer it writes goes nowhere. The
// process must ignore SIGPIPE.
bool DropConnection(const httplib::Request& request);

}  // namespace larkwend::practice
