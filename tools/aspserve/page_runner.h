// RunAspPage: answers one request for an .asp page, already translated (with its includes) into
// one VBScript program. A new VBScript engine runs it on the calling thread (which must be in a
// single-threaded apartment) with Request, Response, Server, Application and, when the page has
// session state, Session; then the response is sent. A page whose script fails answers 500 with
// the file, line, error number and description (when nothing was sent yet); a page that runs past
// Server.ScriptTimeout answers 500 with ASP's "ASP 0113 Script timed out". The reason goes to the
// caller for the log.
//
//   aspserve::TPageRequest page{root, "/upload.asp", head, std::move(body), serverVariables};
//   aspserve::TPageServices services{&store, session, true, application, 90};
//   std::string problem = aspserve::RunAspPage(page, program, services, channel);   // "" when it ran well
#pragma once

#include "host/body_source.h"
#include "host/http_request_head.h"
#include "host/server_variables.h"
#include "tools/aspserve/application_state.h"
#include "tools/aspserve/http_channel.h"
#include "tools/aspserve/page_translator.h"
#include "tools/aspserve/session_store.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace aspserve {

struct TPageRequest {
    std::filesystem::path root;                                     ///< the served folder
    std::string sitePath;                                           ///< the page, e.g. "/upload.asp"
    const host::THttpRequestHead& head;                             ///< the request
    std::unique_ptr<host::CBodySource> body;                        ///< its body
    std::vector<host::CServerVariables::TVariable> serverVariables; ///< SERVER_PORT, REMOTE_ADDR, ...
};

/// What the server gives a page beyond its request.
struct TPageServices {
    CSessionStore* sessions = nullptr;        ///< the site's sessions (with session state)
    std::shared_ptr<TSessionState> session;   ///< the page's session; null: no session state
    bool newSession = false;                  ///< the browser does not know the session yet: Set-Cookie
    CApplicationState* application = nullptr; ///< the site's Application
    std::uint32_t scriptTimeoutSeconds = 90;  ///< Server.ScriptTimeout's default and lowest value
};

/// The text of ASP's script timeout error for page, as the 500 page shows it.
std::string ScriptTimeoutMessage(const std::string& sitePath);

/// Runs the page and sends its response through channel; returns the problem for the log, or "".
std::string RunAspPage(TPageRequest& page, const TTranslatedPage& program, const TPageServices& services,
                       CHttpChannel& channel);

/// The 500 answer for a page that does not translate (reason: the translator's one line).
void AnswerTranslationError(CHttpChannel& channel, const std::string& reason);

} // namespace aspserve
