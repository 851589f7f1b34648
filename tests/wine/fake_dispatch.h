// An in-process automation object for the COM wrapper tests: members found by name, each
// scripted to return a value or fail in one of the ways a real program fails; every call and
// every reference is counted.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <string>
#include <vector>

// One Invoke as the object saw it. Arguments are in DISPPARAMS order (the last one first).
struct SeenCall {
    std::wstring object;
    std::wstring member;
    WORD flags = 0;
    std::vector<VARTYPE> types;
    std::vector<long> values;
    std::vector<DISPID> named;
    bool wantsResult = false;
};

class FakeDispatch final : public IDispatch, public ISupportErrorInfo {
public:
    // `label` names the object in the call log. `dualIid` is the interface the object also
    // answers QueryInterface for (as its IDispatch); GUID_NULL for none.
    explicit FakeDispatch(std::wstring label, const IID& dualIid = GUID_NULL);
    FakeDispatch(const FakeDispatch&) = delete;
    FakeDispatch& operator=(const FakeDispatch&) = delete;

    // Rich error information: whether QueryInterface offers ISupportErrorInfo at all, and the
    // one interface it vouches for.
    void OfferErrorInfo(bool offered, const IID& vouchedIid);

    // Scripting, by member name.
    void Returns(const wchar_t* member, const VARIANT& value);  // copied
    void ReturnsInt(const wchar_t* member, long value);
    void ReturnsObject(const wchar_t* member, FakeDispatch* child);  // child may be null
    void Accepts(const wchar_t* member);                             // S_OK, VT_EMPTY
    // Fails with hr; with `setInfo` it first hands the thread an error object with the texts.
    void Fails(const wchar_t* member, HRESULT hr, bool setInfo, const wchar_t* description = L"",
               const wchar_t* source = L"");
    // Fails with DISP_E_EXCEPTION and an exception record (scode or wCode, and the texts).
    void Raises(const wchar_t* member, HRESULT scode, WORD wCode, const wchar_t* description,
                const wchar_t* source);

    // References held by others than the object's creator (parents' scripts, wrappers).
    ULONG Refs() const { return refs_ - 1; }
    // Interfaces the object was asked about with InterfaceSupportsErrorInfo.
    const std::vector<IID>& AskedIids() const { return askedIids_; }

    // Objects alive and calls seen, over all fakes (the tests run on one thread).
    static int Live();
    static std::vector<SeenCall>& Calls();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override;
    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    enum class Outcome { kValue, kFail, kRaise };
    struct Member {
        std::wstring name;
        Outcome outcome = Outcome::kValue;
        VARIANT value{};
        HRESULT hr = S_OK;
        WORD wCode = 0;
        bool setInfo = false;
        std::wstring description;
        std::wstring source;
    };

    ~FakeDispatch();
    Member& Script(const wchar_t* name);

    std::wstring label_;
    IID dualIid_;
    bool offersErrorInfo_ = true;
    IID vouchedIid_ = GUID_NULL;
    std::vector<Member> members_;
    std::vector<IID> askedIids_;
    ULONG refs_ = 1;
};

// The creator's reference to a fake, released at the end of the scope.
class FakeRef {
public:
    explicit FakeRef(std::wstring label, const IID& dualIid = GUID_NULL)
        : fake_(new FakeDispatch(std::move(label), dualIid)) {}
    FakeRef(const FakeRef&) = delete;
    FakeRef& operator=(const FakeRef&) = delete;
    ~FakeRef() { fake_->Release(); }
    FakeDispatch* operator->() const { return fake_; }
    FakeDispatch* get() const { return fake_; }

private:
    FakeDispatch* fake_;
};
