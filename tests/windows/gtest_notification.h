// googletest's thread start-up signal, for a compiler whose thread model has
// no std::mutex or std::condition_variable. Only googletest's own thread
// helper waits on it; the suite never starts a thread.
#pragma once

#include <atomic>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
