#include "wine/fake_dispatch.h"

#include <cwchar>

namespace {

int g_live = 0;

BSTR NewBstr(const std::wstring& text) { return SysAllocStringLen(text.data(), text.size()); }

// Hands the calling thread an error object, as a failing member of a real program does.
void SetThreadErrorInfo(const IID& iid, const std::wstring& description,
                        const std::wstring& source) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetGUID(iid);
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

}  // namespace

FakeDispatch::FakeDispatch(std::wstring label, const IID& dualIid)
    : label_(std::move(label)), dualIid_(dualIid) {
    ++g_live;
}

FakeDispatch::~FakeDispatch() {
    for (Member& member : members_) VariantClear(&member.value);
    --g_live;
}

int FakeDispatch::Live() { return g_live; }

std::vector<SeenCall>& FakeDispatch::Calls() {
    static std::vector<SeenCall> calls;
    return calls;
}

void FakeDispatch::OfferErrorInfo(bool offered, const IID& vouchedIid) {
    offersErrorInfo_ = offered;
    vouchedIid_ = vouchedIid;
}

FakeDispatch::Member& FakeDispatch::Script(const wchar_t* name) {
    for (Member& member : members_) {
        if (member.name == name) {
            VariantClear(&member.value);
            member = Member{};
            member.name = name;
            return member;
        }
    }
    members_.push_back(Member{});
    members_.back().name = name;
    return members_.back();
}

void FakeDispatch::Returns(const wchar_t* member, const VARIANT& value) {
    VariantCopy(&Script(member).value, const_cast<VARIANT*>(&value));
}

void FakeDispatch::ReturnsInt(const wchar_t* member, long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    Returns(member, v);
}

void FakeDispatch::ReturnsObject(const wchar_t* member, FakeDispatch* child) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = child;
    Returns(member, v);  // the copy holds a reference of its own
}

void FakeDispatch::Accepts(const wchar_t* member) { Script(member); }

void FakeDispatch::Fails(const wchar_t* member, HRESULT hr, bool setInfo,
                         const wchar_t* description, const wchar_t* source) {
    Member& m = Script(member);
    m.outcome = Outcome::kFail;
    m.hr = hr;
    m.setInfo = setInfo;
    m.description = description;
    m.source = source;
}

void FakeDispatch::Raises(const wchar_t* member, HRESULT scode, WORD wCode,
                          const wchar_t* description, const wchar_t* source) {
    Member& m = Script(member);
    m.outcome = Outcome::kRaise;
    m.hr = scode;
    m.wCode = wCode;
    m.description = description;
    m.source = source;
}

HRESULT FakeDispatch::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (!IsEqualIID(dualIid_, GUID_NULL) && IsEqualIID(iid, dualIid_))) {
        *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo) && offersErrorInfo_) {
        *out = static_cast<ISupportErrorInfo*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG FakeDispatch::AddRef() { return ++refs_; }

ULONG FakeDispatch::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT FakeDispatch::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL) || count != 1) return E_INVALIDARG;
    for (size_t i = 0; i < members_.size(); ++i) {
        if (members_[i].name == names[0]) {  // exact spelling, stricter than a real program
            ids[0] = static_cast<DISPID>(i + 1);
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT*) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (id < 1 || static_cast<size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
    const Member& member = members_[static_cast<size_t>(id - 1)];

    SeenCall call;
    call.object = label_;
    call.member = member.name;
    call.flags = flags;
    call.wantsResult = result != nullptr;
    for (UINT i = 0; params && i < params->cArgs; ++i) {
        call.types.push_back(params->rgvarg[i].vt);
        call.values.push_back(params->rgvarg[i].vt == VT_I4 ? params->rgvarg[i].lVal : 0);
    }
    for (UINT i = 0; params && i < params->cNamedArgs; ++i) {
        call.named.push_back(params->rgdispidNamedArgs[i]);
    }
    Calls().push_back(call);

    switch (member.outcome) {
        case Outcome::kFail:
            if (member.setInfo) SetThreadErrorInfo(dualIid_, member.description, member.source);
            return member.hr;
        case Outcome::kRaise:
            if (exception) {
                exception->wCode = member.wCode;
                exception->scode = member.wCode ? 0 : member.hr;
                exception->bstrDescription = NewBstr(member.description);
                exception->bstrSource = NewBstr(member.source);
            }
            return DISP_E_EXCEPTION;
        case Outcome::kValue:
            break;
    }
    if (result && !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
        VariantInit(result);
        return VariantCopy(result, const_cast<VARIANT*>(&member.value));
    }
    return S_OK;
}

HRESULT FakeDispatch::InterfaceSupportsErrorInfo(REFIID iid) {
    askedIids_.push_back(iid);
    return IsEqualIID(iid, vouchedIid_) ? S_OK : S_FALSE;
}
