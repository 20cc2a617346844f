#include "platform/testsupport/UnixSocketFile.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int bindUnixSocketAt(const std::string& hostPath) {
    // A socket's address holds little more than a hundred bytes: the folder is reached through
    // its descriptor, whose path is short.
    const auto slash = hostPath.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "." : (slash == 0 ? "/" : hostPath.substr(0, slash));
    const int folder = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return -1;
    const std::string address = "/proc/self/fd/" + std::to_string(folder) + "/" + hostPath.substr(slash == std::string::npos ? 0 : slash + 1);
    int sock = -1;
    sockaddr_un un{};
    un.sun_family = AF_UNIX;
    if (address.size() < sizeof un.sun_path) {
        std::copy(address.begin(), address.end(), un.sun_path);
        sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (sock >= 0 && ::bind(sock, reinterpret_cast<sockaddr*>(&un), sizeof un) != 0) {
            ::close(sock);
            sock = -1;
        }
    }
    ::close(folder);
    return sock;
}
