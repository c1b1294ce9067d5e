// SPDX-License-Identifier: GPL-3.0-or-later
#include "clips.h"

#include <array>
#include <cstring>
#include <string>

#include "byte_range.h"
#include "clips/clips_data.h"

namespace larkwend::practice {
namespace {

// What a platform's file server answers for a clip it has lost: its own notice, sent as the
// video it was asked for. Not a byte of it is media, so the engine finds no demuxer for it and
// reports the source as not supported (MEDIA_ERR_SRC_NOT_SUPPORTED), whatever decoders exist.
constexpr char kBrokenClip[] =
    "<!DOCTYPE html>\n<html><head><title>404</title></head><body><h1>视频文件不存在</h1>"
    "<p>The requested courseware file was not found on this server.</p></body></html>\n";

const std::array<Clip, 4>& Clips() {
  static const std::array<Clip, 4> clips = {{
      {"/clips/courseware.mp4", "video/mp4", "", embedded::kClipMp4, sizeof embedded::kClipMp4},
      {"/clips/courseware.webm", "video/webm", "", embedded::kClipWebm, sizeof embedded::kClipWebm},
      {"/clips/courseware-fragmented.mp4", "video/mp4",
       "video/mp4; codecs=\"avc1.4D401F, mp4a.40.2\"", embedded::kClipFragmented,
       sizeof embedded::kClipFragmented},
      {"/clips/broken.mp4", "video/mp4", "", reinterpret_cast<const unsigned char*>(kBrokenClip),
       std::strlen(kBrokenClip)},
  }};
  return clips;
}

// Answers the range itself: cpp-httplib's own range handling trusts the header's numbers (a
// range past the end of a provided body reads past it, and one past the end of a body is
// answered with a Content-Range beyond the size), so the request's parsed ranges are cleared
// before it sees the answer.
void SendClip(const Clip& clip, const httplib::Request& request, httplib::Response& response) {
  const ByteRange range = RangeOf(request.get_header_value("Range"), clip.size);
  const_cast<httplib::Request&>(request).ranges.clear();  // httplib's own request object
  response.set_header("Accept-Ranges", "bytes");
  const auto* bytes = reinterpret_cast<const char*>(clip.data);
  const std::string size = std::to_string(clip.size);
  switch (range.answer) {
    case ByteRange::kWhole:
      response.set_content(std::string(bytes, clip.size), clip.contentType);
      return;
    case ByteRange::kPart:
      response.status = 206;
      response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                               std::to_string(range.last) + "/" + size);
      response.set_content(std::string(bytes + range.first, range.last - range.first + 1),
                           clip.contentType);
      return;
    case ByteRange::kUnsatisfiable:
      response.status = 416;
      response.set_header("Content-Range", "bytes */" + size);
      response.set_content("", "text/plain");
      return;
  }
}

}  // namespace

const Clip& ClipOf(VideoKind kind) {
  switch (kind) {
    case VideoKind::kMp4:
      return Clips()[0];
    case VideoKind::kWebm:
      return Clips()[1];
    case VideoKind::kMse:
      return Clips()[2];
    case VideoKind::kBroken:
      return Clips()[3];
  }
  return Clips()[0];
}

void AddClips(HostRouter& router) {
  for (const Clip& clip : Clips()) {
    router.Get(Site::kStudy, clip.path,
               [&clip](const httplib::Request& request, httplib::Response& response) {
                 SendClip(clip, request, response);
               });
  }
}

}  // namespace larkwend::practice
