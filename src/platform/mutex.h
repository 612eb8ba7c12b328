// The lock every shared field of the plug-in is guarded by, written so that
// clang's thread-safety analysis (-Wthread-safety in the native build) fails
// the build when a field marked KVT_GUARDED_BY is touched without its lock,
// or when locks are taken against their declared order. The annotations
// vanish for compilers without the analysis; the DLL's behaviour is the same.
#pragma once

#include <mutex>

#if defined(__clang__)
#define KVT_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KVT_THREAD_ANNOTATION(x)
#endif

#define KVT_CAPABILITY(x) KVT_THREAD_ANNOTATION(capability(x))
#define KVT_SCOPED_CAPABILITY KVT_THREAD_ANNOTATION(scoped_lockable)
#define KVT_GUARDED_BY(x) KVT_THREAD_ANNOTATION(guarded_by(x))
#define KVT_PT_GUARDED_BY(x) KVT_THREAD_ANNOTATION(pt_guarded_by(x))
#define KVT_ACQUIRED_BEFORE(...) KVT_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define KVT_ACQUIRED_AFTER(...) KVT_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define KVT_REQUIRES(...) KVT_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define KVT_ACQUIRE(...) KVT_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define KVT_RELEASE(...) KVT_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define KVT_TRY_ACQUIRE(...) KVT_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define KVT_EXCLUDES(...) KVT_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define KVT_ASSERT_CAPABILITY(x) KVT_THREAD_ANNOTATION(assert_capability(x))
#define KVT_NO_THREAD_SAFETY_ANALYSIS KVT_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace kvt {

class KVT_CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock() KVT_ACQUIRE() { mutex_.lock(); }
    void Unlock() KVT_RELEASE() { mutex_.unlock(); }
    bool TryLock() KVT_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

private:
    std::mutex mutex_;
};

// A role a thread plays rather than a lock it takes. State only that thread
// may touch is guarded by the role, and a check that the caller plays it
// asserts it, so the analysis rejects every touch outside a checked path or
// a function that requires the role.
class KVT_CAPABILITY("role") ThreadRole {};

// Holds a Mutex for the rest of the scope.
class KVT_SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) KVT_ACQUIRE(mutex) : mutex_(mutex) { mutex_.Lock(); }
    ~MutexLock() KVT_RELEASE() { mutex_.Unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex_;
};

}  // namespace kvt
