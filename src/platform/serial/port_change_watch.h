#pragma once
// PortChangeWatch (Windows): tells a window when the system's list of serial ports changes. Windows lists
// the present COM ports as the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM; a thread of the watch's own
// waits, without polling, for a change of that key or for the watch's end, and posts `message` to `window`
// after each change. The window's thread then reads the list with PresentComPorts. The constructor returns
// once the key is watched; the destructor stops the thread and waits for it. Owned by one thread.
#include <set>
#include <thread>

class PortChangeWatch {
public:
    PortChangeWatch(void* window, unsigned message);
    ~PortChangeWatch();
    PortChangeWatch(const PortChangeWatch&) = delete;
    PortChangeWatch& operator=(const PortChangeWatch&) = delete;

    // False when the key could not be watched: nothing will be posted.
    bool Watching() const { return m_bWatching; }

private:
    void Run(void* window, unsigned message);

    void* m_key = nullptr;      // SERIALCOMM, or DEVICEMAP (with its subkeys) while no port was ever listed
    void* m_stop = nullptr;     // ends the thread
    void* m_changed = nullptr;  // set by the system when the key changes
    bool m_bWatching = false;
    std::thread m_thread;
};

// The COM numbers (1 to 256) the system lists now; empty when it lists none.
std::set<int> PresentComPorts();
