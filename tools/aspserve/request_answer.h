// AnswerRequest: answers the request whose head a connection holds, on a request thread (a
// single-threaded apartment). .asp pages run through RunAspPage, other files of the site are sent
// with their content type. Refused: a chunked body (411: pages need the body's length before it
// arrives), any other transfer coding (400: the body's end cannot be known, so the connection
// closes rather than read it as a next request), a body above the limit (413, before any of it is
// read), a path that leaves the site or is not UTF-8 (400) or that is not there (404). A page with
// session state waits for its session's turn: the request is then parked in the session store,
// holding no thread, and answered when a request thread resumes it. Nothing thrown escapes: an
// unexpected failure answers 500 (when nothing was sent yet) and closes the connection. Each
// request writes one log line.
//
//   TServerContext context{settings, sessions, application, [&](auto c) { workers.Resume(c); }};
//   switch (aspserve::AnswerRequest(connection, context)) { ... }
#pragma once

#include "tools/aspserve/application_state.h"
#include "tools/aspserve/http_connection.h"
#include "tools/aspserve/server_options.h"
#include "tools/aspserve/session_store.h"

#include <functional>
#include <memory>

namespace aspserve {

/// What every request of the server shares.
struct TServerContext {
    const TServerSettings& settings;
    CSessionStore& sessions;
    CApplicationState& application;
    /// Queues a request whose session's turn has come, to be answered again.
    std::function<void(std::shared_ptr<CHttpConnection>)> resume;
};

enum class TAnswer {
    KeepOpen, ///< answered; the connection may carry the next request
    Close,    ///< answered (or not answerable); close the connection
    Parked,   ///< waiting for its session's turn; the session store holds the connection
};

/// Answers the request whose complete head connection holds.
TAnswer AnswerRequest(const std::shared_ptr<CHttpConnection>& connection, const TServerContext& context) noexcept;

} // namespace aspserve
