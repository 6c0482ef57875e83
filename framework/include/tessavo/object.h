// Reference-counted framework objects.
//
// Every object that crosses a binary boundary (plug-in objects, framework objects, the host's
// application object) is an IObject: whoever keeps a pointer holds a reference and releases it.
#pragma once

#include <cstdint>
#include <utility>

namespace tessavo {

class IObject {
public:
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

}  // namespace tessavo
