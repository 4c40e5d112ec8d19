// CPageEngine: one run of the VBScript engine over a page, as pagerun and aspserve run pages. It
// starts the engine with a script site of its own, publishes the page's objects under their names
// (visible to the script, as ASP publishes Request and Response), runs the page's script on the
// calling thread (a single-threaded apartment) and keeps the first script error the engine
// reports. The engine closes in Close, or when the object goes. Windows only.
//
//   host::CPageEngine engine;                          // throws host::EScriptEngine
//   engine.AddPageObjects(*context);                   // Request, Response; Server, Application, Session if set
//   engine.AddItem(L"ErrorInfo", errorInfo.Get());
//   const HRESULT parsed = engine.Run(script);         // what the engine answered
//   engine.Close();
//   if (const std::optional<host::TScriptError>& error = engine.Error()) ...
#pragma once

#include "com/com_ptr.h"
#include "host/script_site.h"
#include "host/scripting_context.h"
#include "platform/win.h"

#include <activscp.h>

#include <optional>
#include <stdexcept>

namespace host {

/// A step of starting or driving the engine that failed: which one, and its HRESULT. what() names
/// both in one line, e.g. "cannot create the VBScript engine (0x80040154)".
class EScriptEngine : public std::runtime_error {
public:
    enum class TStep { FindEngine, CreateEngine, QueryParser, InitNew, SetSite, AddItem, Start };

    EScriptEngine(TStep step, HRESULT code);

    TStep Step() const noexcept { return step_; }
    HRESULT Code() const noexcept { return code_; }

private:
    TStep step_;
    HRESULT code_;
};

class CPageEngine {
public:
    /// Creates the VBScript engine (found by its ProgID) and gives it the site.
    CPageEngine();
    ~CPageEngine();
    CPageEngine(const CPageEngine&) = delete;
    CPageEngine& operator=(const CPageEngine&) = delete;

    /// Publishes object to the script as name.
    void AddItem(const WideString& name, IUnknown* object);

    /// Publishes the context's Request and Response, then its Server, Application and Session
    /// where the host set them.
    void AddPageObjects(CScriptingContext& context);

    /// Starts the engine and runs script; returns the engine's answer (a script error is also
    /// kept in Error()).
    HRESULT Run(const WideString& script);

    /// Closes the engine, which lets go of the page objects; again, nothing.
    void Close() noexcept;

    /// The first script error the engine reported, if any.
    const std::optional<TScriptError>& Error() const noexcept { return site_.Error(); }

private:
    CScriptSite site_; // outlives the engine, which holds it until it is released
    com::ComPtr<IActiveScript> engine_;
    com::ComPtr<IActiveScriptParse> parser_;
};

} // namespace host
