#include "vb/VbThreadState.h"

#include <mutex>

namespace vb {

namespace {

struct Node {
    void* object;
    void (*destroy)(void*);
    DWORD thread;
    Node* next;
};

std::mutex g_lock;
Node* g_head = nullptr;

}  // namespace

namespace detail {

void RegisterThreadObject(void* object, void (*destroy)(void*)) {
    Node* node = new Node{object, destroy, GetCurrentThreadId(), nullptr};
    std::lock_guard<std::mutex> guard(g_lock);
    node->next = g_head;
    g_head = node;
}

}  // namespace detail

void ReleaseThreadState() {
    const DWORD self = GetCurrentThreadId();
    Node* mine = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        for (Node** link = &g_head; *link;) {
            Node* n = *link;
            if (n->thread == self) {
                *link = n->next;
                n->next = mine;
                mine = n;
            } else {
                link = &n->next;
            }
        }
    }
    while (mine) {
        Node* n = mine;
        mine = n->next;
        n->destroy(n->object);
        delete n;
    }
}

void ReleaseAllThreadState() {
    Node* all = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        all = g_head;
        g_head = nullptr;
    }
    while (all) {
        Node* n = all;
        all = n->next;
        n->destroy(n->object);
        delete n;
    }
}

void ThreadStateOnDllNotification(DWORD reason, LPVOID reserved) {
    if (reason == DLL_THREAD_DETACH) ReleaseThreadState();
    // At process exit (reserved set) the memory goes with the process.
    if (reason == DLL_PROCESS_DETACH && !reserved) ReleaseAllThreadState();
}

}  // namespace vb
