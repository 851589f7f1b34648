// Owning holders for COM references, variants and exception records, so that every reference
// obtained is released on every path, exceptions included.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <utility>

// One owned reference to a COM interface (Release on destruction). Move-only: a copy would be
// a second owner of one reference.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(other.Detach()) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    ~ComRef() { Reset(); }

    // Takes over a reference the caller already owns.
    static ComRef Adopt(T* pointer) {
        ComRef ref;
        ref.pointer_ = pointer;
        return ref;
    }
    // Adds a reference of its own to a pointer the caller keeps.
    static ComRef Share(T* pointer) {
        if (pointer) pointer->AddRef();
        return Adopt(pointer);
    }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Releases what is held and hands out the slot for a call that returns a new reference.
    T** Put() {
        Reset();
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    T* Detach() { return std::exchange(pointer_, nullptr); }
    void Reset(T* pointer = nullptr) {
        T* old = std::exchange(pointer_, pointer);
        if (old) old->Release();
    }

private:
    T* pointer_ = nullptr;
};

// A VARIANT that is cleared (releasing what it holds) on destruction.
class OwnedVariant {
public:
    OwnedVariant() { VariantInit(&value_); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    ~OwnedVariant() { VariantClear(&value_); }

    VARIANT* Get() { return &value_; }
    VARIANT& operator*() { return value_; }
    VARIANT* operator->() { return &value_; }

private:
    VARIANT value_;
};

// The exception record IDispatch::Invoke fills in; its strings are freed on destruction.
class OwnedExcepInfo {
public:
    OwnedExcepInfo() = default;
    OwnedExcepInfo(const OwnedExcepInfo&) = delete;
    OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
    ~OwnedExcepInfo() {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
    }

    EXCEPINFO* Get() { return &info_; }
    EXCEPINFO* operator->() { return &info_; }

private:
    EXCEPINFO info_{};
};
