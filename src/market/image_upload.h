// The cover picture goes to the marketplace's picture store before the item is
// published, through the single-image upload of the publish page, in the multipart
// form that page's own upload control sends.
#pragma once

#include <string>

namespace vt {

class Hosts;
struct PublishItem;

// Uploads the item's LocalImageFileName with its token, item number and category id.
// Returns the POST result code; response is the marketplace's whole answer when the
// status was 200, else empty ("dwError = N" after a transport failure). A picture file
// that cannot be read goes out as an empty file part; the answer then decides. Each body
// has a fresh boundary; a field value that holds it or a zero byte is not sent: the
// result is then kPostCannotOpen with the reason as the response.
int MarketUploadImage(std::string& response, const PublishItem& item, const std::string& cookie,
                      const Hosts& hosts);

// The file name sent for a picture path: what follows its last folder separator.
std::string UploadFileName(const std::string& path);

// The file name the upload part carries for the item: UploadFileName of its picture, or
// "image.JPG" when that name holds a quote, CR, LF or zero byte (each would end the
// part's header parameter early) or is named after a text that is no well-formed ISBN.
std::string UploadPartFileName(const PublishItem& item);

}  // namespace vt
