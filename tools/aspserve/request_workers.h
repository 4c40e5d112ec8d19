// CRequestWorkers: the threads that answer requests — at most maxThreads of them, each a
// single-threaded apartment as ASP runs pages, started as work arrives and kept. Requests wait
// in one queue; a request resumed after waiting for its session goes to the front, since it has
// waited already. Connections only get here with a complete request head: waiting for a head
// costs no thread.
//
//   aspserve::CRequestWorkers workers(50, [&](auto connection) { Answer(connection); });
//   workers.Submit(connection);
#pragma once

#include "tools/aspserve/http_connection.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace aspserve {

class CRequestWorkers {
public:
    using TServe = std::function<void(std::shared_ptr<CHttpConnection>)>;

    /// serve answers one request on a worker thread; it must not throw.
    CRequestWorkers(unsigned maxThreads, TServe serve) : maxThreads_(maxThreads), serve_(std::move(serve)) {}
    CRequestWorkers(const CRequestWorkers&) = delete;
    CRequestWorkers& operator=(const CRequestWorkers&) = delete;

    /// Queues a request whose head is complete.
    void Submit(std::shared_ptr<CHttpConnection> connection) { Queue(std::move(connection), false); }

    /// Queues a request that waited for its session's turn, ahead of the others.
    void Resume(std::shared_ptr<CHttpConnection> connection) { Queue(std::move(connection), true); }

private:
    void Queue(std::shared_ptr<CHttpConnection> connection, bool first);
    void Work();

    const unsigned maxThreads_;
    const TServe serve_;
    std::mutex lock_;
    std::condition_variable queued_;
    std::deque<std::shared_ptr<CHttpConnection>> queue_;
    unsigned threads_ = 0;
    unsigned idle_ = 0;
};

} // namespace aspserve
