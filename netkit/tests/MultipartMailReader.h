#pragma once
// Reads a posted multipart body with Python's email package, as a mail reader would. One line
// per part: its name, file name, content type and the SHA-256 of its bytes.

#include <string>
#include <string_view>

std::string sha256Hex(std::string_view bytes);
// The lines for the body sent with the Content-Type; the folder holds the files it writes.
std::string readMultipartAsMail(const std::string& folder, const std::string& body, const std::string& contentType);
