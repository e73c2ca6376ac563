#include "sim/form_parsing.h"

#include "sim/http_server.h"

namespace vt::sim {
namespace {

bool IStartsWith(const std::string& text, std::size_t pos, const std::string& prefix) {
    if (text.size() - pos < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[pos + i], b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// Reads the parameters after "form-data" of a Content-Disposition value: name="…",
// filename="…". A quoted value runs to the next double quote.
void ReadDisposition(const std::string& value, MultipartPart& part) {
    std::size_t pos = value.find(';');
    while (pos != std::string::npos && pos < value.size()) {
        ++pos;
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t')) ++pos;
        std::size_t eq = value.find('=', pos);
        if (eq == std::string::npos)
            return;
        std::string key = value.substr(pos, eq - pos);
        std::string param;
        std::size_t next;
        if (eq + 1 < value.size() && value[eq + 1] == '"') {
            std::size_t close = value.find('"', eq + 2);
            if (close == std::string::npos)
                return;
            param = value.substr(eq + 2, close - eq - 2);
            next = value.find(';', close);
        } else {
            next = value.find(';', eq);
            param =
                value.substr(eq + 1, (next == std::string::npos ? value.size() : next) - eq - 1);
        }
        if (IStartsWith(key, 0, "filename") && key.size() == 8) {
            part.isFile = true;
            part.fileName = param;
        } else if (IStartsWith(key, 0, "name") && key.size() == 4) {
            part.name = param;
        }
        pos = next;
    }
}

}  // namespace

FormFields ParseUrlEncodedForm(const std::string& body) {
    FormFields fields;
    std::size_t pos = 0;
    while (pos < body.size()) {
        std::size_t amp = body.find('&', pos);
        if (amp == std::string::npos)
            amp = body.size();
        std::string pair = body.substr(pos, amp - pos);
        if (!pair.empty()) {
            std::size_t eq = pair.find('=');
            fields.emplace_back(
                UrlDecode(pair.substr(0, eq)),
                eq == std::string::npos ? std::string() : UrlDecode(pair.substr(eq + 1)));
        }
        pos = amp + 1;
    }
    return fields;
}

std::string FieldValue(const FormFields& fields, const std::string& name) {
    for (auto it = fields.rbegin(); it != fields.rend(); ++it)
        if (it->first == name)
            return it->second;
    return {};
}

bool HasField(const FormFields& fields, const std::string& name) {
    for (const auto& field : fields)
        if (field.first == name)
            return true;
    return false;
}

bool ParseMultipart(const std::string& body, const std::string& boundary,
                    std::vector<MultipartPart>& parts) {
    parts.clear();
    if (boundary.empty())
        return false;
    const std::string delimiter = "--" + boundary;
    if (body.compare(0, delimiter.size(), delimiter) != 0)
        return false;
    std::size_t pos = delimiter.size();
    for (;;) {
        if (body.compare(pos, 2, "--") == 0)
            return true;  // closing delimiter; whatever follows is epilogue
        if (body.compare(pos, 2, "\r\n") != 0)
            return false;
        pos += 2;
        std::size_t headEnd = body.find("\r\n\r\n", pos);
        // An empty header block ends at once with the blank line.
        if (body.compare(pos, 2, "\r\n") == 0)
            headEnd = pos - 2;
        if (headEnd == std::string::npos)
            return false;
        MultipartPart part;
        std::size_t line = pos;
        while (line < headEnd) {
            std::size_t end = body.find("\r\n", line);
            if (end == std::string::npos || end > headEnd)
                end = headEnd;
            std::string text = body.substr(line, end - line);
            std::size_t colon = text.find(':');
            if (colon != std::string::npos) {
                std::size_t v = text.find_first_not_of(" \t", colon + 1);
                std::string value = v == std::string::npos ? std::string() : text.substr(v);
                if (IStartsWith(text, 0, "content-disposition:"))
                    ReadDisposition(value, part);
                else if (IStartsWith(text, 0, "content-type:"))
                    part.contentType = value;
            }
            line = end + 2;
        }
        std::size_t dataStart = headEnd + 4;
        std::size_t dataEnd = body.find("\r\n" + delimiter, dataStart);
        if (dataEnd == std::string::npos || part.name.empty())
            return false;
        part.data = body.substr(dataStart, dataEnd - dataStart);
        parts.push_back(std::move(part));
        pos = dataEnd + 2 + delimiter.size();
    }
}

std::string BoundaryOf(const std::string& contentType) {
    if (!IStartsWith(contentType, 0, "multipart/form-data"))
        return {};
    std::size_t at = contentType.find("boundary=");
    if (at == std::string::npos)
        return {};
    std::string boundary = contentType.substr(at + 9);
    std::size_t end = boundary.find(';');
    if (end != std::string::npos)
        boundary.erase(end);
    if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"')
        boundary = boundary.substr(1, boundary.size() - 2);
    return boundary;
}

}  // namespace vt::sim
