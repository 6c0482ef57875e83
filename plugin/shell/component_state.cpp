#include "shell/component_state.h"

#include <pthread.h>

#include <mutex>
#include <new>

namespace imp_kzv {
namespace {

// Each thread's state lives in storage of that thread, constructed on first use. The storage is
// trivially destructible, so the C++ runtime registers no thread-exit destructor for it: such a
// destructor would keep the library mapped after the host unloads it, and a reload on the same thread
// would find the old caption, index and host instead of a freshly loaded component's empty state.
// The state is destroyed instead when its thread ends (a thread-specific key, which does not pin the
// library) or, for threads still alive, when the library is unloaded.
struct StateSlot {
    alignas(ComponentState) unsigned char storage[sizeof(ComponentState)];
    bool constructed;
    StateSlot* previous;  // the list of constructed slots, for the sweep at unload
    StateSlot* next;
    ComponentState& state() noexcept { return *std::launder(reinterpret_cast<ComponentState*>(storage)); }
};

thread_local StateSlot slot;

class StateRegistry {
  public:
    StateRegistry() noexcept { has_key_ = pthread_key_create(&key_, &DestroyAtThreadExit) == 0; }
    ~StateRegistry() {
        if (has_key_) pthread_key_delete(key_);
        std::lock_guard lock(mutex_);
        while (first_ != nullptr) Destroy(*first_);
    }

    void Add(StateSlot& s) noexcept {
        {
            std::lock_guard lock(mutex_);
            s.previous = nullptr;
            s.next = first_;
            if (first_ != nullptr) first_->previous = &s;
            first_ = &s;
        }
        if (has_key_) pthread_setspecific(key_, &s);
    }

  private:
    static void DestroyAtThreadExit(void* p) noexcept;

    // Unlinks and destroys one slot's state; the caller holds the lock.
    void Destroy(StateSlot& s) noexcept {
        (s.previous != nullptr ? s.previous->next : first_) = s.next;
        if (s.next != nullptr) s.next->previous = s.previous;
        s.state().~ComponentState();
        s.constructed = false;
    }

    std::mutex mutex_;
    StateSlot* first_ = nullptr;
    pthread_key_t key_{};
    bool has_key_ = false;
};

StateRegistry registry;

void StateRegistry::DestroyAtThreadExit(void* p) noexcept {
    auto& s = *static_cast<StateSlot*>(p);
    std::lock_guard lock(registry.mutex_);
    if (s.constructed) registry.Destroy(s);
}

}  // namespace

ComponentState& Component() noexcept {
    if (!slot.constructed) {
        new (slot.storage) ComponentState();
        slot.constructed = true;
        registry.Add(slot);
    }
    return slot.state();
}

}  // namespace imp_kzv
