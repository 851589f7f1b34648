// Calls members of an automation object by name through IDispatch, turning failures into
// AutomationError. Used on the presentation worker thread only, like the objects it calls.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <cstdint>
#include <initializer_list>

#include "platform/win32/com_ref.h"

class DispatchObject {
public:
    // `iid` names the interface the object stands for; rich error information is taken only
    // when the object says it supports it for that interface.
    DispatchObject(ComRef<IDispatch> object, const IID& iid);

    // Property reads. Integers accept any integer-convertible variant; an object reads as an
    // empty reference when the program returned none (VT_EMPTY, VT_NULL or a null pointer).
    std::int32_t GetInt(const wchar_t* name);
    std::int64_t GetInt64(const wchar_t* name);
    ComRef<IDispatch> GetChild(const wchar_t* name);

    // Property write of a 32-bit integer.
    void PutInt(const wchar_t* name, std::int32_t value);

    // Method calls with 32-bit integer arguments, in the member's own order.
    void Call(const wchar_t* name, std::initializer_list<std::int32_t> arguments = {});
    ComRef<IDispatch> CallForObject(const wchar_t* name,
                                    std::initializer_list<std::int32_t> arguments = {});

private:
    // Looks the member up and invokes it; `result` may be null. Throws AutomationError.
    void Invoke(const wchar_t* name, WORD flags, std::initializer_list<std::int32_t> arguments,
                VARIANT* result);
    // Throws the AutomationError for a failed call, with the error information that belongs to it.
    [[noreturn]] void Fail(HRESULT hr, EXCEPINFO* exception);
    bool SupportsErrorInfo();

    ComRef<IDispatch> object_;
    IID iid_;
};

// The object a VARIANT result holds, taken out of it; empty for VT_EMPTY, VT_NULL and null
// pointers. Throws AutomationError (DISP_E_TYPEMISMATCH) for anything that is not an object.
ComRef<IDispatch> TakeDispatch(VARIANT& value);
