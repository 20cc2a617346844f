#include "MultipartMailReader.h"

#include "platform/security/CommonDigest.h"
#include "platform/testsupport/ShellCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {
const char* const kParseScript = R"(
import email, email.policy, hashlib, sys
head = b'Content-Type: ' + open(sys.argv[2], 'rb').read() + b'\r\n\r\n'
message = email.message_from_bytes(head + open(sys.argv[1], 'rb').read(), policy=email.policy.HTTP)
assert message.is_multipart() and not message.defects, message.defects
for part in message.iter_parts():
    payload = part.get_payload(decode=True) or b''
    print(part.get_param('name', header='content-disposition'), part.get_filename(), part.get_content_type(),
          hashlib.sha256(payload).hexdigest())
)";
} // namespace

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[CC_SHA256_DIGEST_LENGTH];
    CC_SHA256(bytes.data(), static_cast<CC_LONG>(bytes.size()), digest);
    std::string hex;
    char two[3];
    for (unsigned char byte : digest) {
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    return hex;
}

std::string readMultipartAsMail(const std::string& folder, const std::string& body, const std::string& contentType) {
    std::ofstream(folder + "/parse.py") << kParseScript;
    std::ofstream(folder + "/body", std::ios::binary) << body;
    std::ofstream(folder + "/type") << contentType;
    std::string command = "python3 " + folder + "/parse.py " + folder + "/body " + folder + "/type 2>&1";
    std::string out;
    EXPECT_EQ(runShellCommand(command, &out), 0) << out;
    return out;
}
