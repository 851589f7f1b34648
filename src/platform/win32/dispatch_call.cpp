#include "platform/win32/dispatch_call.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/automation.h"
#include "platform/text_conversion.h"

namespace {

std::string BstrToAnsi(BSTR text) {
    if (!text) return std::string();
    return Utf16ToAnsi(
        std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
}

// A 16-bit error code of an exception record as a failure code of the interface range
// 0x80040200..0x8004FFFF (the usual mapping, so AppErrorCode gives the code back).
HRESULT WCodeToHresult(WORD code) {
    constexpr unsigned long kFirst = 0x80040200ul;
    constexpr unsigned long kLast = 0x8004FFFFul;
    const unsigned long value = code >= kLast - kFirst ? kLast : kFirst + code;
    return static_cast<HRESULT>(value);
}

[[noreturn]] void ThrowPlain(HRESULT hr) {
    throw AutomationError{static_cast<std::int32_t>(hr), false, {}, {}};
}

}  // namespace

DispatchObject::DispatchObject(ComRef<IDispatch> object, const IID& iid)
    : object_(std::move(object)), iid_(iid) {}

std::int32_t DispatchObject::GetInt(const wchar_t* name) {
    OwnedVariant value;
    Invoke(name, DISPATCH_PROPERTYGET, {}, value.Get());
    HRESULT hr = VariantChangeType(value.Get(), value.Get(), 0, VT_I4);
    if (FAILED(hr)) ThrowPlain(hr);
    return value->lVal;
}

std::int64_t DispatchObject::GetInt64(const wchar_t* name) {
    OwnedVariant value;
    Invoke(name, DISPATCH_PROPERTYGET, {}, value.Get());
    HRESULT hr = VariantChangeType(value.Get(), value.Get(), 0, VT_I8);
    if (FAILED(hr)) ThrowPlain(hr);
    return value->llVal;
}

ComRef<IDispatch> DispatchObject::GetChild(const wchar_t* name) {
    OwnedVariant value;
    Invoke(name, DISPATCH_PROPERTYGET, {}, value.Get());
    return TakeDispatch(*value);
}

void DispatchObject::PutInt(const wchar_t* name, std::int32_t value) {
    Invoke(name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

void DispatchObject::Call(const wchar_t* name, std::initializer_list<std::int32_t> arguments) {
    OwnedVariant ignored;
    Invoke(name, DISPATCH_METHOD, arguments, ignored.Get());
}

ComRef<IDispatch> DispatchObject::CallForObject(const wchar_t* name,
                                                std::initializer_list<std::int32_t> arguments) {
    OwnedVariant value;
    Invoke(name, DISPATCH_METHOD, arguments, value.Get());
    return TakeDispatch(*value);
}

void DispatchObject::Invoke(const wchar_t* name, WORD flags,
                            std::initializer_list<std::int32_t> arguments, VARIANT* result) {
    if (!object_) ThrowPlain(E_POINTER);
    DISPID member = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
    if (FAILED(hr)) Fail(hr, nullptr);

    // Arguments go in reverse order: the last one first. 32-bit integers need no clearing.
    std::vector<VARIANTARG> values(arguments.size());
    size_t slot = values.size();
    for (std::int32_t argument : arguments) {
        VARIANTARG& value = values[--slot];
        VariantInit(&value);
        value.vt = VT_I4;
        value.lVal = argument;
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = values.empty() ? nullptr : values.data();
    parameters.cArgs = static_cast<UINT>(values.size());
    if (flags == DISPATCH_PROPERTYPUT) {
        // The value of a property write is the named argument DISPID_PROPERTYPUT.
        parameters.rgdispidNamedArgs = &putId;
        parameters.cNamedArgs = 1;
        result = nullptr;
    }

    OwnedExcepInfo exception;
    UINT badArgument = 0;
    hr = object_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result,
                         exception.Get(), &badArgument);
    if (FAILED(hr)) Fail(hr, exception.Get());
}

void DispatchObject::Fail(HRESULT hr, EXCEPINFO* exception) {
    AutomationError error{static_cast<std::int32_t>(hr), false, {}, {}};

    // An exception raised inside the member arrives as DISP_E_EXCEPTION with its own record:
    // the member's failure code and texts are there.
    if (hr == DISP_E_EXCEPTION && exception) {
        if (exception->pfnDeferredFillIn) exception->pfnDeferredFillIn(exception);
        if (FAILED(exception->scode)) {
            error.hr = static_cast<std::int32_t>(exception->scode);
        } else if (exception->wCode != 0) {
            error.hr = static_cast<std::int32_t>(WCodeToHresult(exception->wCode));
        }
        if (exception->bstrDescription || exception->bstrSource) {
            error.hasInfo = true;
            error.description = BstrToAnsi(exception->bstrDescription);
            error.source = BstrToAnsi(exception->bstrSource);
        }
    }

    // The thread's error object is always taken, so that it cannot be mistaken for the error
    // of a later call; it is read only when the object vouches for it on this interface.
    const bool vouched = !error.hasInfo && SupportsErrorInfo();
    ComRef<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) == S_OK && info && vouched) {
        BSTR description = nullptr;
        BSTR source = nullptr;
        if (FAILED(info->GetDescription(&description))) description = nullptr;
        if (FAILED(info->GetSource(&source))) source = nullptr;
        error.hasInfo = true;
        error.description = BstrToAnsi(description);
        error.source = BstrToAnsi(source);
        SysFreeString(description);
        SysFreeString(source);
    }
    throw error;
}

bool DispatchObject::SupportsErrorInfo() {
    ComRef<ISupportErrorInfo> support;
    if (FAILED(object_->QueryInterface(IID_ISupportErrorInfo, support.PutVoid())) || !support) {
        return false;
    }
    return support->InterfaceSupportsErrorInfo(iid_) == S_OK;
}

ComRef<IDispatch> TakeDispatch(VARIANT& value) {
    switch (value.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_DISPATCH: {
            // The reference moves from the variant to the holder.
            ComRef<IDispatch> object = ComRef<IDispatch>::Adopt(value.pdispVal);
            value.vt = VT_EMPTY;
            value.pdispVal = nullptr;
            return object;
        }
        case VT_UNKNOWN: {
            ComRef<IDispatch> object;
            if (value.punkVal) {
                HRESULT hr = value.punkVal->QueryInterface(IID_IDispatch, object.PutVoid());
                if (FAILED(hr)) ThrowPlain(hr);
            }
            return object;
        }
        default:
            ThrowPlain(DISP_E_TYPEMISMATCH);
    }
}
