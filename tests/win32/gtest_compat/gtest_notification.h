// GoogleTest 1.12 builds its Notification on std::mutex and std::condition_variable,
// which libstdc++ lacks under the win32 thread model of mingw-w64 GCC before 13. This
// one waits on a Win32 event instead; GoogleTest uses it only to start its own threads.
// Force-included (-include) ahead of every GoogleTest header in the cross build.
#ifndef PELLIX_GTEST_NOTIFICATION_H
#define PELLIX_GTEST_NOTIFICATION_H

#include <cstddef>  // defines _GLIBCXX_HAS_GTHREADS when std::mutex exists

#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS) && !defined(GTEST_HAS_NOTIFICATION_)
#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify();
    void WaitForNotification();

private:
    void* event_;  // HANDLE of a manual-reset event; <windows.h> stays out of the tests
};

}  // namespace internal
}  // namespace testing

#endif
#endif
