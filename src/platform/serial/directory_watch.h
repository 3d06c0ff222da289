#pragma once
// DirectoryWatch: tells which entries of some folders appeared, changed (owner, mode) or vanished, through
// inotify. The owner waits for its descriptor to become readable (the connection dialog through a
// QSocketNotifier on the UI thread) and then takes the events; nothing polls. One thread; owned by its user.
#include <string>
#include <vector>

struct DirectoryEvent {
    enum class Kind { Appeared, Changed, Vanished };
    Kind eKind = Kind::Appeared;
    std::string strPath;  // folder + "/" + entry name
};

class DirectoryWatch {
public:
    DirectoryWatch();
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // Starts watching `folder`; false when it does not exist or cannot be watched (the rest still work).
    bool Add(const std::string& folder);
    // The descriptor that becomes readable when events wait; -1 when inotify is not available.
    int Descriptor() const { return m_fd; }
    // The events waiting now, in order; never blocks.
    std::vector<DirectoryEvent> TakeEvents();

private:
    int m_fd = -1;
    std::vector<std::pair<int, std::string>> m_folders;  // watch descriptor, folder
};
