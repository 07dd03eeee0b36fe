#include "support/temp_dir.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <fstream>

#include "platform/files.h"

namespace yhz::testing {

std::filesystem::path TempDir::makeFolder(const std::filesystem::path& prefix) {
    const std::string made = platform::makeUniqueFolder(platform::utf8Text(prefix));
    if (made.empty()) {
        throw std::runtime_error("no temporary folder could be made");
    }
    return platform::utf8Path(made);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

#ifndef _WIN32
bool sendRaw(int port, const std::string& bytes) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok =
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return ok;
}

#endif

}  // namespace yhz::testing
