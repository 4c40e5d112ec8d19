// RunAspPage: answers one request for an .asp page. The page is translated (with its includes)
// into one VBScript program, run by a new VBScript engine on the calling thread (which must be in
// a single-threaded apartment) with Request, Response and Server, and its response sent. A page
// that does not translate, or whose script fails, answers 500 with the file, line, error number
// and description (when nothing was sent yet), and the reason goes to the caller for the log.
//
//   aspserve::TPageRequest page{root, "/upload.asp", head, std::move(body), serverVariables};
//   std::string problem = aspserve::RunAspPage(page, channel);   // empty when the page ran well
#pragma once

#include "host/body_source.h"
#include "host/http_request_head.h"
#include "host/server_variables.h"
#include "tools/aspserve/http_channel.h"

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

/// Runs the page and sends its response through channel; returns the problem for the log, or "".
std::string RunAspPage(TPageRequest& page, CHttpChannel& channel);

} // namespace aspserve
