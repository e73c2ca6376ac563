// Reading the request bodies the marketplace pages receive: url-encoded forms and
// multipart forms. Parsing never throws; a malformed body is reported as such.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vt::sim {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// "a=1&b=2" with percent escapes and "+" decoded; pairs in body order.
FormFields ParseUrlEncodedForm(const std::string& body);

// The value of the last field of that name (a name sent twice counts with its later
// value, as a browser form would), or empty.
std::string FieldValue(const FormFields& fields, const std::string& name);
bool HasField(const FormFields& fields, const std::string& name);

struct MultipartPart {
    std::string name;
    bool isFile = false;  // the part carried a filename parameter
    std::string fileName;
    std::string contentType;
    std::string data;  // bytes between the part's blank line and the next delimiter
};

// Splits a multipart body by its boundary. False when the body does not start with the
// first delimiter, a part lacks its header block or its closing delimiter, or a part has
// no form-data name.
bool ParseMultipart(const std::string& body, const std::string& boundary,
                    std::vector<MultipartPart>& parts);

// The boundary parameter of a "multipart/form-data; boundary=…" Content-Type, or empty.
std::string BoundaryOf(const std::string& contentType);

}  // namespace vt::sim
