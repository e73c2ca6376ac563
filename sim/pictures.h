// Picture bytes the stand-in serves: real, decodable images, tagged with the book they
// belong to so two books never share a file.
#pragma once

#include <string>

namespace vt::sim {

// A 2x2 baseline JPEG with a comment segment holding the tag.
std::string JpegBytes(const std::string& tag);
// A 1x1 PNG with a text chunk holding the tag.
std::string PngBytes(const std::string& tag);
// A 1x1 GIF (buttons and other page furniture).
std::string GifBytes();

}  // namespace vt::sim
