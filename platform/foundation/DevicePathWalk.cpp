#include "platform/foundation/DevicePathWalk.h"

#include <cerrno>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DevicePathWalk {

namespace {
// As the kernel: a path may pass through at most 40 links.
constexpr int kMaxLinks = 40;

bool isDotOrEmpty(const std::string& c) { return c.empty() || c == "."; }

// Whether only "." components remain: the component before them is the path's last name.
bool onlyDotsRemain(const std::deque<std::string>& todo) {
    for (const auto& c : todo) {
        if (!isDotOrEmpty(c)) return false;
    }
    return true;
}

std::string joined(const std::string& head, const std::vector<std::string>& names) {
    std::string out = head == "/" ? "" : head;
    for (const auto& n : names) out += "/" + n;
    return out.empty() ? "/" : out;
}
} // namespace

std::deque<std::string> components(std::string_view path) {
    std::deque<std::string> out;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) out.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (!path.empty() && path.back() == '/' && !out.empty()) out.emplace_back(".");
    return out;
}

int Walk::followLink(int linkFd, std::deque<std::string>& todo) {
    if (++links_ > kMaxLinks) return ELOOP;
    char target[PATH_MAX];
    ssize_t n = ::readlinkat(linkFd, "", target, sizeof target);
    if (n < 0) return errno;
    if (n == 0) return ENOENT;
    std::string_view text(target, static_cast<std::size_t>(n));
    if (text.front() == '/') {
        stack_.clear();
        names_.clear();
        leftHostResolution_ = true;
    }
    auto parts = components(text);
    todo.insert(todo.begin(), parts.begin(), parts.end());
    return 0;
}

int Walk::run(std::deque<std::string>& todo, bool followLast) {
    last_.clear();
    while (!todo.empty()) {
        std::string c = std::move(todo.front());
        todo.pop_front();
        if (isDotOrEmpty(c)) continue;
        if (c == "..") {
            if (stack_.empty()) {
                leftHostResolution_ = true;
            } else {
                stack_.pop_back();
                names_.pop_back();
            }
            continue;
        }
        bool isLast = onlyDotsRemain(todo);
        bool dotsFollow = isLast && !todo.empty();
        DeviceRoot::Descriptor fd(::openat(folder(), c.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            int e = errno;
            if (isLast && !dotsFollow && e == ENOENT) {
                last_ = std::move(c);
                return 0;
            }
            todo.push_front(std::move(c));
            return e;
        }
        struct stat st{};
        if (::fstat(fd.get(), &st) != 0) return errno;
        if (S_ISLNK(st.st_mode) && (!isLast || followLast || dotsFollow)) {
            if (int e = followLink(fd.get(), todo)) {
                todo.push_front(std::move(c));
                return e;
            }
            continue;
        }
        if (isLast && !dotsFollow) {
            last_ = std::move(c);
            return 0;
        }
        if (!S_ISDIR(st.st_mode)) {
            todo.push_front(std::move(c));
            return ENOTDIR;
        }
        stack_.push_back(std::move(fd));
        names_.push_back(std::move(c));
    }
    return 0;
}

DeviceRoot::Descriptor open(int root, std::string_view path, int flags, mode_t mode) {
    Walk walk(root);
    auto todo = components(path);
    bool follow = !(flags & O_NOFOLLOW) && !((flags & O_CREAT) && (flags & O_EXCL));
    if (int e = walk.run(todo, follow)) {
        errno = e;
        return {};
    }
    // The last name is opened without following: a link there was either followed by the walk or
    // is to be refused (or, with O_PATH, opened itself), as the kernel would.
    const char* name = walk.last().empty() ? "." : walk.last().c_str();
    return DeviceRoot::Descriptor(::openat(walk.folder(), name, flags | O_NOFOLLOW | O_CLOEXEC, mode));
}

std::string hostPath(int root, const std::string& rootHost, std::string_view path) {
    Walk walk(root);
    auto todo = components(path);
    // A component that is missing, not a folder or not searchable fails on the host just as here,
    // after the folders resolved so far; anything else (a loop) has no host path that fails alike.
    auto unresolved = [&](int e) {
        if (e != ENOENT && e != ENOTDIR && e != EACCES) return std::string();
        std::string out = joined(rootHost, walk.names());
        for (const auto& c : todo) {
            if (c != ".") out += "/" + c;
        }
        return out;
    };
    if (int e = walk.run(todo, false)) return unresolved(e);
    if (walk.last().empty()) return joined(rootHost, walk.names());
    std::string named = joined(rootHost, walk.names()) + "/" + walk.last();
    struct stat st{};
    if (::fstatat(walk.folder(), walk.last().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return named;
    // A link: where the host follows it the same way, the link keeps its name.
    todo.push_back(walk.last());
    walk.resetLeftHostResolution();
    int e = walk.run(todo, true);
    if (!walk.leftHostResolution()) return named;
    if (e) return unresolved(e);
    return walk.last().empty() ? joined(rootHost, walk.names()) : joined(rootHost, walk.names()) + "/" + walk.last();
}

} // namespace DevicePathWalk
