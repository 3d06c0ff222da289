#include "platform/serial/directory_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

DirectoryWatch::DirectoryWatch() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

DirectoryWatch::~DirectoryWatch() {
    if (m_fd >= 0) ::close(m_fd);
}

bool DirectoryWatch::Add(const std::string& folder) {
    if (m_fd < 0) return false;
    const int wd = inotify_add_watch(
        m_fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO | IN_MOVED_FROM | IN_ONLYDIR);
    if (wd < 0) return false;
    for (const auto& entry : m_folders) {
        if (entry.first == wd) return true;  // the same folder under another name
    }
    m_folders.emplace_back(wd, folder);
    return true;
}

std::vector<DirectoryEvent> DirectoryWatch::TakeEvents() {
    std::vector<DirectoryEvent> events;
    if (m_fd < 0) return events;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // EAGAIN: nothing more waits
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            if (event.len == 0 || at > n) continue;
            std::string folder;
            for (const auto& entry : m_folders) {
                if (entry.first == event.wd) folder = entry.second;
            }
            if (folder.empty()) continue;
            DirectoryEvent out;
            out.strPath = folder + "/" + std::string(name, ::strnlen(name, event.len));
            if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
                out.eKind = DirectoryEvent::Kind::Vanished;
            } else if (event.mask & IN_ATTRIB) {
                out.eKind = DirectoryEvent::Kind::Changed;
            } else {
                out.eKind = DirectoryEvent::Kind::Appeared;
            }
            events.push_back(std::move(out));
        }
    }
    return events;
}
