// orvessa-askpass: the SSH_ASKPASS program of the program's SSH tunnels. ssh runs it with its
// prompt as the only argument and reads the answer from its standard output. The prompt goes
// to the program over the Unix socket named by ORVESSA_ASKPASS_SOCKET (inside the program's
// private folder), and the answer comes back the same way: no secret ever travels through an
// argument or the environment, where other users could see it.
//
// Reply: one byte '1' followed by the answer, or '0' when the user declined (exit 1, which ssh
// takes as no answer).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const char *path = std::getenv("ORVESSA_ASKPASS_SOCKET");
    if (!path || argc < 2) {
        std::fputs("orvessa-askpass: run by the program's SSH tunnel only\n", stderr);
        return 2;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path)
        return 2;
    std::strcpy(address.sun_path, path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return 2;
    if (!writeAll(fd, argv[1], std::strlen(argv[1])) || shutdown(fd, SHUT_WR) != 0)
        return 2;
    std::string reply;
    char buffer[512];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 2;
        if (n == 0)
            break;
        reply.append(buffer, size_t(n));
    }
    close(fd);
    if (reply.empty() || reply[0] != '1')
        return 1;
    reply.erase(0, 1);
    reply.push_back('\n');
    const bool written = writeAll(STDOUT_FILENO, reply.data(), reply.size());
    // The secret leaves no copy behind in this process's memory.
    volatile char *wipe = reply.data();
    for (size_t i = 0; i < reply.size(); ++i)
        wipe[i] = 0;
    return written ? 0 : 2;
}
