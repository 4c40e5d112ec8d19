// probe.exe: looks at Kestrune.dll from the outside, as a client would, and prints what it finds
// so that the Wine harness can compare it with the expected text.
//
//   probe.exe typelib  PATH\Kestrune.dll   the type library inside the DLL, member by member
//   probe.exe registered                   the type library as registered (LoadRegTypeLib)
//   probe.exe classes  PATH\Kestrune.dll   DllGetClassObject and the class factories
//   probe.exe version  PATH\Kestrune.dll   the version resource, as Windows reads it
#include "platform/win.h"

#include <winver.h>

#include "kestrune_idl.h"

#include <cstdio>
#include <string>

namespace {

std::string Narrow(const OLECHAR* text)
{
    std::string out;
    for (; text && *text; ++text)
        out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

std::string Hex(long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

struct Doc {
    std::string name;
    std::string help;
};

Doc Documentation(ITypeInfo* info, MEMBERID member)
{
    BSTR name = nullptr;
    BSTR help = nullptr;
    Doc doc;
    if (SUCCEEDED(info->GetDocumentation(member, &name, &help, nullptr, nullptr))) {
        doc.name = Narrow(name);
        doc.help = Narrow(help);
    }
    ::SysFreeString(name);
    ::SysFreeString(help);
    return doc;
}

std::string Help(const std::string& help)
{
    return help.empty() ? std::string() : " help=\"" + help + "\"";
}

std::string TypeName(ITypeInfo* info, const TYPEDESC& type)
{
    switch (type.vt) {
    case VT_PTR: return TypeName(info, *type.lptdesc) + "*";
    case VT_USERDEFINED: {
        ITypeInfo* ref = nullptr;
        if (FAILED(info->GetRefTypeInfo(type.hreftype, &ref)))
            return "?";
        const std::string name = Documentation(ref, MEMBERID_NIL).name;
        ref->Release();
        return name;
    }
    case VT_BSTR: return "BSTR";
    case VT_BOOL: return "VARIANT_BOOL";
    case VT_I4: return "LONG";
    case VT_INT: return "INT";
    case VT_R8: return "DOUBLE";
    case VT_VARIANT: return "VARIANT";
    case VT_UNKNOWN: return "IUnknown*";
    case VT_DISPATCH: return "IDispatch*";
    case VT_HRESULT: return "HRESULT";
    case VT_VOID: return "void";
    case VT_I2: return "SHORT";
    default: return "vt" + std::to_string(type.vt);
    }
}

std::string TypeFlags(WORD flags)
{
    std::string out;
    if (flags & TYPEFLAG_FCANCREATE)
        out += " creatable";
    if (flags & TYPEFLAG_FDUAL)
        out += " dual";
    if (flags & TYPEFLAG_FOLEAUTOMATION)
        out += " oleautomation";
    if (flags & TYPEFLAG_FNONEXTENSIBLE)
        out += " nonextensible";
    if (flags & TYPEFLAG_FRESTRICTED)
        out += " restricted";
    if (flags & TYPEFLAG_FHIDDEN)
        out += " hidden";
    if (flags & TYPEFLAG_FAGGREGATABLE)
        out += " aggregatable";
    return out;
}

std::string DefaultValue(const PARAMDESC& param)
{
    if (!(param.wParamFlags & PARAMFLAG_FHASDEFAULT) || !param.pparamdescex)
        return {};
    VARIANT value;
    ::VariantInit(&value);
    std::string text = "?";
    if (SUCCEEDED(::VariantChangeType(&value, &param.pparamdescex->varDefaultValue, 0, VT_BSTR)))
        text = Narrow(value.bstrVal);
    ::VariantClear(&value);
    return " default=" + text;
}

std::string Parameter(ITypeInfo* info, const ELEMDESC& element, BSTR name)
{
    const USHORT flags = element.paramdesc.wParamFlags;
    std::string out;
    if (flags & PARAMFLAG_FIN)
        out += "in ";
    if (flags & PARAMFLAG_FOUT)
        out += "out ";
    if (flags & PARAMFLAG_FRETVAL)
        out += "retval ";
    if (flags & PARAMFLAG_FOPT)
        out += "optional ";
    out += TypeName(info, element.tdesc);
    if (name)
        out += " " + Narrow(name);
    return out + DefaultValue(element.paramdesc);
}

const char* InvokeKind(INVOKEKIND kind)
{
    switch (kind) {
    case INVOKE_PROPERTYGET: return "get";
    case INVOKE_PROPERTYPUT: return "put";
    case INVOKE_PROPERTYPUTREF: return "putref";
    default: return "method";
    }
}

void PrintFunctions(ITypeInfo* info, const TYPEATTR& attributes)
{
    for (UINT i = 0; i < attributes.cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func)))
            continue;
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        const Doc doc = Documentation(info, func->memid);
        std::string line = "  slot " + std::to_string(func->oVft / static_cast<SHORT>(sizeof(void*))) + " id " +
                           Hex(func->memid) + " " + InvokeKind(func->invkind) + " " + Narrow(names[0]) + "(";
        for (SHORT p = 0; p < func->cParams; ++p) {
            if (p)
                line += ", ";
            // GetNames looks members up by DISPID, so a property put would show its getter's names.
            const bool named = func->invkind != INVOKE_PROPERTYPUT && p + 1 < static_cast<SHORT>(count);
            line += Parameter(info, func->lprgelemdescParam[p], named ? names[p + 1] : nullptr);
        }
        line += ") " + TypeName(info, func->elemdescFunc.tdesc);
        if (func->wFuncFlags & FUNCFLAG_FRESTRICTED)
            line += " restricted";
        if (func->cParamsOpt)
            line += " optargs=" + std::to_string(func->cParamsOpt);
        std::printf("%s%s\n", line.c_str(), Help(doc.help).c_str());
        for (UINT n = 0; n < count; ++n)
            ::SysFreeString(names[n]);
        info->ReleaseFuncDesc(func);
    }
}

void PrintEnum(ITypeInfo* info, const TYPEATTR& attributes)
{
    for (UINT i = 0; i < attributes.cVars; ++i) {
        VARDESC* var = nullptr;
        if (FAILED(info->GetVarDesc(i, &var)))
            continue;
        const Doc doc = Documentation(info, var->memid);
        VARIANT value;
        ::VariantInit(&value);
        ::VariantChangeType(&value, var->lpvarValue, 0, VT_I4);
        std::printf("  %s = %ld (%s)\n", doc.name.c_str(), static_cast<long>(value.lVal),
                    TypeName(info, var->elemdescVar.tdesc).c_str());
        info->ReleaseVarDesc(var);
    }
}

void PrintCoclass(ITypeInfo* info, const TYPEATTR& attributes)
{
    for (UINT i = 0; i < attributes.cImplTypes; ++i) {
        HREFTYPE ref = 0;
        INT flags = 0;
        ITypeInfo* implemented = nullptr;
        if (FAILED(info->GetRefTypeOfImplType(i, &ref)) || FAILED(info->GetImplTypeFlags(i, &flags)) ||
            FAILED(info->GetRefTypeInfo(ref, &implemented)))
            continue;
        std::printf("  %sinterface %s\n", (flags & IMPLTYPEFLAG_FDEFAULT) ? "default " : "",
                    Documentation(implemented, MEMBERID_NIL).name.c_str());
        implemented->Release();
    }
}

void PrintTypeInfo(ITypeInfo* info)
{
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)))
        return;
    const Doc doc = Documentation(info, MEMBERID_NIL);
    switch (attributes->typekind) {
    case TKIND_ENUM:
        std::printf("enum %s%s\n", doc.name.c_str(), Help(doc.help).c_str());
        PrintEnum(info, *attributes);
        break;
    case TKIND_COCLASS:
        std::printf("coclass %s%s%s\n", doc.name.c_str(), TypeFlags(attributes->wTypeFlags).c_str(),
                    Help(doc.help).c_str());
        PrintCoclass(info, *attributes);
        break;
    case TKIND_DISPATCH:
    case TKIND_INTERFACE: {
        // A dual interface is described twice; its vtable half carries the members in order.
        ITypeInfo* vtable = nullptr;
        HREFTYPE ref = 0;
        if (attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL) &&
            SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
            SUCCEEDED(info->GetRefTypeInfo(ref, &vtable))) {
            TYPEATTR* vtableAttributes = nullptr;
            if (SUCCEEDED(vtable->GetTypeAttr(&vtableAttributes))) {
                const WORD flags = attributes->wTypeFlags | vtableAttributes->wTypeFlags;
                std::printf("interface %s%s%s\n", doc.name.c_str(), TypeFlags(flags).c_str(), Help(doc.help).c_str());
                PrintFunctions(vtable, *vtableAttributes);
                vtable->ReleaseTypeAttr(vtableAttributes);
            }
            vtable->Release();
        } else {
            std::printf("interface %s%s%s\n", doc.name.c_str(), TypeFlags(attributes->wTypeFlags).c_str(),
                        Help(doc.help).c_str());
            PrintFunctions(info, *attributes);
        }
        break;
    }
    default: std::printf("type %s kind %d\n", doc.name.c_str(), static_cast<int>(attributes->typekind));
    }
    info->ReleaseTypeAttr(attributes);
}

int PrintLibrary(ITypeLib* library)
{
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)))
        return 1;
    BSTR name = nullptr;
    BSTR help = nullptr;
    library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    std::printf("library %s %u.%u lcid %s%s\n", Narrow(name).c_str(), attributes->wMajorVerNum,
                attributes->wMinorVerNum, Hex(static_cast<long>(attributes->lcid)).c_str(), Help(Narrow(help)).c_str());
    ::SysFreeString(name);
    ::SysFreeString(help);
    library->ReleaseTLibAttr(attributes);
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ITypeInfo* info = nullptr;
        if (SUCCEEDED(library->GetTypeInfo(i, &info))) {
            PrintTypeInfo(info);
            info->Release();
        }
    }
    return 0;
}

int Typelib(const wchar_t* path)
{
    ITypeLib* library = nullptr;
    const HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, &library);
    if (FAILED(hr)) {
        std::printf("LoadTypeLibEx failed %s\n", Hex(hr).c_str());
        return 1;
    }
    const int result = PrintLibrary(library);
    library->Release();
    return result;
}

int Registered()
{
    ITypeLib* library = nullptr;
    const HRESULT hr = ::LoadRegTypeLib(LIBID_KestruneLib, 1, 0, 0x0409, &library);
    std::printf("LoadRegTypeLib %s\n", Hex(hr).c_str());
    if (FAILED(hr))
        return 1;
    TLIBATTR* attributes = nullptr;
    library->GetLibAttr(&attributes);
    std::printf("syskind %s\n", attributes->syskind == SYS_WIN64   ? "win64"
                                : attributes->syskind == SYS_WIN32 ? "win32"
                                                                   : "other");
    library->ReleaseTLibAttr(attributes);
    library->Release();
    return 0;
}

int Classes(const wchar_t* path)
{
    HMODULE module = ::LoadLibraryW(path);
    if (!module) {
        std::printf("LoadLibrary failed %lu\n", ::GetLastError());
        return 1;
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    auto getClassObject = reinterpret_cast<GetClassObject>(::GetProcAddress(module, "DllGetClassObject"));
    auto canUnloadNow = reinterpret_cast<CanUnloadNow>(::GetProcAddress(module, "DllCanUnloadNow"));
    if (!getClassObject || !canUnloadNow) {
        std::printf("missing export\n");
        return 1;
    }
    const struct {
        const char* name;
        const CLSID* clsid;
    } classes[] = {
        {"UploadedFileCollection", &CLSID_UploadedFileCollection},
        {"TextFieldCollection", &CLSID_TextFieldCollection},
        {"UploadedFile", &CLSID_UploadedFile},
        {"TextField", &CLSID_TextField},
        {"Progress", &CLSID_Progress},
        {"UploadMetadata", &CLSID_UploadMetadata},
        {"Upload", &CLSID_Upload},
    };
    std::printf("DllCanUnloadNow %s\n", Hex(canUnloadNow()).c_str());
    for (const auto& c : classes) {
        IClassFactory* factory = nullptr;
        const HRESULT hr = getClassObject(*c.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        std::printf("DllGetClassObject %s %s\n", c.name, Hex(hr).c_str());
        if (FAILED(hr))
            continue;
        factory->LockServer(TRUE);
        std::printf("  locked: DllCanUnloadNow %s\n", Hex(canUnloadNow()).c_str());
        factory->LockServer(FALSE);
        IUnknown* outer = factory; // any IUnknown serves: refusals come before creation
        IUnknown* object = nullptr;
        std::printf("  aggregated, asking for IDispatch: %s\n",
                    Hex(factory->CreateInstance(outer, IID_IDispatch, reinterpret_cast<void**>(&object))).c_str());
        factory->Release();
    }
    std::printf("DllGetClassObject null out %s\n",
                Hex(getClassObject(CLSID_Upload, IID_IClassFactory, nullptr)).c_str());
    std::printf("DllCanUnloadNow %s\n", Hex(canUnloadNow()).c_str());
    return 0;
}

std::string VersionNumber(DWORD high, DWORD low)
{
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

// The version resource through GetFileVersionInfoW and VerQueryValueW: the numbers, the file type
// and the strings of every language and code page the resource lists.
int Version(const wchar_t* path)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) {
        std::printf("GetFileVersionInfoSizeW failed: error %lu\n", ::GetLastError());
        return 1;
    }
    std::string data(size, '\0');
    if (!::GetFileVersionInfoW(path, 0, size, data.data())) {
        std::printf("GetFileVersionInfoW failed: error %lu\n", ::GetLastError());
        return 1;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        std::printf("no fixed file information\n");
        return 1;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("FILEVERSION %s\n", VersionNumber(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
    std::printf("PRODUCTVERSION %s\n", VersionNumber(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
    std::printf("FILEFLAGS %s\n", Hex(static_cast<long>(fixed->dwFileFlags & fixed->dwFileFlagsMask)).c_str());
    std::printf("FILEOS %s\n", Hex(static_cast<long>(fixed->dwFileOS)).c_str());
    std::printf("FILETYPE %s\n",
                fixed->dwFileType == VFT_DLL ? "DLL" : Hex(static_cast<long>(fixed->dwFileType)).c_str());

    struct Translation {
        WORD language;
        WORD codePage;
    };
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length < sizeof(Translation)) {
        std::printf("no translation\n");
        return 1;
    }
    const auto* translations = static_cast<const Translation*>(value);
    for (UINT i = 0; i < length / sizeof(Translation); ++i) {
        wchar_t block[32];
        std::swprintf(block, 32, L"%04X%04X", translations[i].language, translations[i].codePage);
        std::printf("Translation %s\n", Narrow(block).c_str());
        for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                    L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
            const std::wstring query = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
            if (::VerQueryValueW(data.data(), query.c_str(), &value, &length))
                std::printf("  %s: %s\n", Narrow(name).c_str(), Narrow(static_cast<const wchar_t*>(value)).c_str());
            else
                std::printf("  %s: (none)\n", Narrow(name).c_str());
        }
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 2;
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"typelib" && argc == 3)
        result = Typelib(argv[2]);
    else if (command == L"registered" && argc == 2)
        result = Registered();
    else if (command == L"classes" && argc == 3)
        result = Classes(argv[2]);
    else if (command == L"version" && argc == 3)
        result = Version(argv[2]);
    else
        std::fprintf(stderr, "usage: probe.exe typelib DLL | registered | classes DLL | version DLL\n");
    std::fflush(stdout);
    ::CoUninitialize();
    return result;
}
