#include "host/stream_body_source.h"

#include <algorithm>

namespace host {

CStreamBodySource::CStreamBodySource(std::unique_ptr<std::istream> stream) : stream_(std::move(stream))
{
    std::streambuf* buf = stream_->rdbuf();
    const auto here = buf->pubseekoff(0, std::ios::cur, std::ios::in);
    if (here == std::streampos(-1))
        return;
    const auto end = buf->pubseekoff(0, std::ios::end, std::ios::in);
    if (end != std::streampos(-1) && end >= here)
        available_ = static_cast<ULONGLONG>(end - here);
    buf->pubseekpos(here, std::ios::in);
}

HRESULT CStreamBodySource::Read(BYTE* buffer, ULONG wanted, ULONG* delivered)
{
    *delivered = 0;
    if (stream_->bad())
        return E_FAIL;
    const std::streamsize got = stream_->rdbuf()->sgetn(reinterpret_cast<char*>(buffer), wanted);
    if (got < 0)
        return E_FAIL;
    *delivered = static_cast<ULONG>(got);
    if (available_ != kUnknownAvailable)
        available_ -= std::min<ULONGLONG>(available_, static_cast<ULONGLONG>(got));
    return S_OK;
}

ULONGLONG CStreamBodySource::Available() const noexcept
{
    return available_;
}

} // namespace host
