// Reference-counted framework objects.
//
// Every object that crosses a binary boundary (plug-in objects, framework objects, the host's
// application object) is an IObject: whoever keeps a pointer holds a reference and releases it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tessavo {

// Source of the errors that the framework itself reports.
inline constexpr std::string_view kFrameworkSource = "Tessavo";

// Class and interface identifiers are texts in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
// Letter case does not matter when they are compared.
constexpr bool IdsEqual(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

class IObject {
  public:
    // Every object answers this interface id (through its first interface).
    static constexpr char kInterfaceId[] = "{3095FFA0-46FC-4452-8FA0-86E02049DF80}";

    virtual std::uint32_t AddRef() noexcept = 0;
    virtual std::uint32_t Release() noexcept = 0;

  protected:
    ~IObject() = default;
};

// Owning smart pointer for IObject-derived interfaces (one counted reference).
template <class T>
class Ref {
  public:
    Ref() noexcept = default;
    Ref(std::nullptr_t) noexcept {}
    // Takes a new reference to p.
    explicit Ref(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    // Adopts a reference that the caller already owns (e.g. the result of a factory).
    static Ref adopt(T* p) noexcept {
        Ref r;
        r.p_ = p;
        return r;
    }
    Ref(const Ref& o) noexcept : Ref(o.p_) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    // From a reference to a derived class.
    template <class U>
    requires std::is_convertible_v<U*, T*> Ref(const Ref<U>& o)
    noexcept : Ref(static_cast<T*>(o.get())) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> Ref(Ref<U>&& o)
    noexcept : p_(o.detach()) {}
    Ref& operator=(Ref o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Ref() {
        if (p_) p_->Release();
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept { Ref().swap_with(*this); }
    T* detach() noexcept { return std::exchange(p_, nullptr); }

  private:
    void swap_with(Ref& o) noexcept { std::swap(p_, o.p_); }
    T* p_ = nullptr;
};

// Reference counting for an object that implements one or more IObject-derived interfaces.
// The count starts at 1, owned by whoever called new: hand it to Ref<T>::adopt (see MakeRef).
// The last Release deletes the object; counts are atomic, so references may move between threads.
template <class... Interfaces>
class RefCounted : public Interfaces... {
  public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    std::uint32_t AddRef() noexcept override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t Release() noexcept override {
        const std::uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

  protected:
    virtual ~RefCounted() = default;

  private:
    std::atomic<std::uint32_t> refs_{1};
};

// Creates a reference-counted object and returns the one reference to it. Throws what new throws.
template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
    return Ref<T>::adopt(new T(std::forward<Args>(args)...));
}

}  // namespace tessavo
