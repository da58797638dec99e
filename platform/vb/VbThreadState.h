// Module data kept once per thread, without thread_local destructors: the compiler's
// emulated thread storage may run such destructors after their storage is gone, and a
// library can be unloaded while the threads that used it live on. The data lives on the
// heap; a library frees a thread's data when the thread detaches and everything left when
// it is unloaded; a program's data goes with the process.
#pragma once
#include <windows.h>

namespace vb {

namespace detail {
void RegisterThreadObject(void* object, void (*destroy)(void*));
}

// The calling thread's instance of T (Tag tells apart two uses of the same type).
template <typename T, typename Tag = T>
T& ThreadInstance() {
    static thread_local T* instance = nullptr;
    if (!instance) {
        T* created = new T();
        instance = created;
        detail::RegisterThreadObject(created, [](void* p) { delete static_cast<T*>(p); });
    }
    return *instance;
}

// Frees the calling thread's instances. Only for a thread on its way out (DLL_THREAD_DETACH):
// the thread's own pointers are not reset, their storage may already be gone.
void ReleaseThreadState();
// Frees every thread's instances, for a library being unloaded while the process goes on.
void ReleaseAllThreadState();

// What a library's DllMain does about its per-thread data on each notification.
void ThreadStateOnDllNotification(DWORD reason, LPVOID reserved);

}  // namespace vb
