// Small COM objects for the platform tests: a reference-counted IDispatch that may have a default
// value (DISPID_VALUE) and that counts its live references, and an error object with a fixed
// description, standing for one left on the thread by another component.
#pragma once

#include "platform/win.h"

namespace platform_test {

class CountedDispatch : public IDispatch {
public:
    /// An object whose default value is text; a null text means it has no default value.
    explicit CountedDispatch(const OLECHAR* defaultValue = nullptr) : default_(defaultValue) {}
    virtual ~CountedDispatch() = default;

    ULONG References() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        // The tests own these objects on the stack: no self-deletion.
        return InterlockedDecrement(&refs_);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        ++invocations_;
        if (id != DISPID_VALUE || !default_ || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (params && params->cArgs)
            return DISP_E_BADPARAMCOUNT;
        if (!result)
            return E_POINTER;
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(default_);
        return S_OK;
    }
    int Invocations() const { return invocations_; }

private:
    LONG refs_ = 1;
    const OLECHAR* default_;
    int invocations_ = 0;
};

class CountedErrorInfo : public IErrorInfo {
public:
    explicit CountedErrorInfo(const OLECHAR* description) : description_(description) {}
    virtual ~CountedErrorInfo() = default;

    ULONG References() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IErrorInfo)) {
            *ppv = static_cast<IErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&refs_); } // on the stack
    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override
    {
        *guid = GUID{};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) override
    {
        *source = SysAllocString(OLESTR("another component"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) override
    {
        *description = SysAllocString(description_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* file) override
    {
        *file = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override
    {
        *context = 0;
        return S_OK;
    }

private:
    LONG refs_ = 1;
    const OLECHAR* description_;
};

} // namespace platform_test
