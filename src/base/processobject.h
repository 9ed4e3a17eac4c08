#pragma once
// Process-wide objects (the file manager, the variable store, the component list, ...) are named
// by plain global pointers, and owned by the run that made them. Static storage never owns one:
// an exit() from inside a library then runs no destructor of ours, and the run frees them once,
// in its own order.
#include <memory>
#include <utility>

namespace ruko {

// Owns one process-wide object and points its global at it for as long as it lives.
template <typename T> class TProcessObject
{
  public:
    explicit TProcessObject(T*& global) : global_(global) {}
    TProcessObject(const TProcessObject&) = delete;
    TProcessObject& operator=(const TProcessObject&) = delete;
    ~TProcessObject() { Reset(); }

    T& Set(std::unique_ptr<T> object)
    {
        Reset();
        owned_ = std::move(object);
        global_ = owned_.get();
        return *owned_;
    }
    template <typename... A> T& Create(A&&... args)
    {
        return Set(std::make_unique<T>(std::forward<A>(args)...));
    }
    // The global is cleared before the object goes, so its destructor never finds itself there.
    void Reset()
    {
        if (!owned_) return;
        if (global_ == owned_.get()) global_ = nullptr;
        owned_.reset();
    }

    T* Get() const { return owned_.get(); }
    T* operator->() const { return owned_.get(); }
    T& operator*() const { return *owned_; }
    explicit operator bool() const { return owned_ != nullptr; }

  private:
    T*& global_;
    std::unique_ptr<T> owned_;
};

} // namespace ruko
