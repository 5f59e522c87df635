// Reference-counted objects of the file system (sources and open files) and
// the smart pointer that holds one reference: whoever receives an object
// owns one reference and lets it go when done.
#pragma once

#include <cstdint>
#include <utility>

class RefObject {
public:
    RefObject() = default;
    RefObject(const RefObject&) = delete;
    RefObject& operator=(const RefObject&) = delete;

    void AddRef() { ++refCount_; }
    // Drops one reference and destroys the object with the last one.
    void Release() {
        if (--refCount_ == 0)
            delete this;
    }
    uint32_t RefCount() const { return refCount_; }

protected:
    virtual ~RefObject() = default;

private:
    uint32_t refCount_ = 1;
};

// Holds one reference. Adopting a freshly made object takes over the
// reference it starts with; copying adds one.
template <typename T>
class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    static RefPtr Adopt(T* object) { return RefPtr(object); }
    static RefPtr Share(T* object) {
        if (object)
            object->AddRef();
        return RefPtr(object);
    }

    RefPtr(const RefPtr& other) : object_(other.object_) {
        if (object_)
            object_->AddRef();
    }
    RefPtr(RefPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    template <typename U>
    RefPtr(RefPtr<U>&& other) noexcept : object_(other.Detach()) {}
    ~RefPtr() { Reset(); }

    RefPtr& operator=(RefPtr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }

    void Reset() {
        if (object_)
            std::exchange(object_, nullptr)->Release();
    }
    // Gives up the reference without releasing it.
    T* Detach() { return std::exchange(object_, nullptr); }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    explicit RefPtr(T* object) : object_(object) {}

    T* object_ = nullptr;
};
