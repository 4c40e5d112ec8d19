#include "tools/aspserve/request_workers.h"

#include "host/com_apartment.h"
#include "tools/aspserve/request_log.h"

#include <thread>

namespace aspserve {

void CRequestWorkers::Queue(std::shared_ptr<CHttpConnection> connection, bool first)
{
    bool start = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (first)
            queue_.push_front(std::move(connection));
        else
            queue_.push_back(std::move(connection));
        if (idle_ < queue_.size() && threads_ < maxThreads_) {
            ++threads_;
            start = true;
        }
    }
    if (start) {
        try {
            std::thread([this] { Work(); }).detach();
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> guard(lock_);
            --threads_; // the requests wait for the threads there are
            if (threads_ == 0)
                LogEvent("aspserve: no thread could be started to answer requests");
        }
    }
    queued_.notify_one();
}

void CRequestWorkers::Work()
{
    // As ASP runs pages: a single-threaded apartment per request thread, for the process's life.
    const host::CComApartment apartment(COINIT_APARTMENTTHREADED);
    while (true) {
        std::shared_ptr<CHttpConnection> connection;
        {
            std::unique_lock<std::mutex> guard(lock_);
            ++idle_;
            queued_.wait(guard, [&] { return !queue_.empty(); });
            --idle_;
            connection = std::move(queue_.front());
            queue_.pop_front();
        }
        serve_(std::move(connection));
    }
}

} // namespace aspserve
