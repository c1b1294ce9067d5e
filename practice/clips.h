// SPDX-License-Identifier: GPL-3.0-or-later
// The courseware clips, built into the site (practice/clips/, embedded by embed_clips.cmake) so
// that an installed site serves them wherever it runs, on the study platform under /clips/, with
// the byte ranges a media player asks for.
#pragma once

#include <cstddef>

#include "courseware.h"
#include "host_router.h"

namespace larkwend::practice {

struct Clip {
  const char* path;         // on the study platform, e.g. "/clips/courseware.mp4"
  const char* contentType;  // as served
  const char* mseType;      // what a page's MediaSource is asked for (empty: not fed)
  const unsigned char* data;
  std::size_t size;
};

const Clip& ClipOf(VideoKind kind);

// Serves every clip, whole or in the byte range a Range header asks for.
void AddClips(HostRouter& router);

}  // namespace larkwend::practice
