#include "upload/post_query_stream.h"

#include "com/failure_reason.h"
#include "com/safe_array.h"
#include "com/variant.h"

#include <cstring>

namespace {

// Checks that a safe array from BinaryRead holds at least `needed` bytes, so that a Request object
// that answers a larger count than it delivers cannot make the copy read past the array.
void CheckHoldsBytes(SAFEARRAY* array, std::uint32_t needed)
{
    LONG lower = 0;
    LONG upper = -1;
    if (!array || ::SafeArrayGetDim(array) != 1 || ::SafeArrayGetElemsize(array) != 1 ||
        FAILED(::SafeArrayGetLBound(array, 1, &lower)) || FAILED(::SafeArrayGetUBound(array, 1, &upper)) ||
        static_cast<long long>(upper) - lower + 1 < static_cast<long long>(needed)) {
        com::ReportFailure("Save: Request.BinaryRead answered an array that does not hold the ", needed,
                           " bytes it counted");
        throw parser::CDataSourceBase::EInternalError();
    }
}

} // namespace

CPostQueryStream::CPostQueryStream(IRequest* request, IUploadStatisticsUpdater* updater)
    : request_(request), updater_(updater)
{
    capacity = kBufferSize;
    position = 0;
    end = 0;
    try {
        ReadChunk();
    } catch (const ENoMoreData&) {
        // An empty body: the parser meets an empty source and decides.
    }
}

template <class OnDelivered>
std::uint32_t CPostQueryStream::ReadInto(std::uint32_t at, OnDelivered&& onDelivered)
{
    const std::uint32_t wanted = static_cast<std::uint32_t>(capacity) - at;
    com::Variant count;
    com::Variant data;
    count.Get()->vt = VT_UI4;
    count.Get()->ulVal = wanted;
    const HRESULT hr = request_ ? request_->BinaryRead(count.Get(), data.Get()) : E_POINTER;
    if (FAILED(hr)) {
        com::ReportFailure("Save: Request.BinaryRead failed (", com::HResult{hr}, ")");
        throw EInternalError();
    }
    if (count.Type() != VT_I4) {
        com::ReportFailure("Save: Request.BinaryRead answered a count of VARIANT type ", count.Type(), ", not VT_I4");
        throw EInternalError();
    }
    const LONG delivered = count.Get()->lVal;
    if (delivered < 0 || static_cast<std::uint32_t>(delivered) > wanted) {
        com::ReportFailure("Save: Request.BinaryRead delivered ", delivered, " bytes when ", wanted, " were asked for");
        throw EInternalError();
    }
    if (delivered > 0 && data.Type() != (VT_ARRAY | VT_UI1)) {
        com::ReportFailure("Save: Request.BinaryRead answered data of VARIANT type ", data.Type(),
                           ", not an array of bytes");
        throw EInternalError();
    }
    const auto n = static_cast<std::uint32_t>(delivered);
    onDelivered(n);
    if (n == 0)
        return 0;
    CheckHoldsBytes(data.Get()->parray, n);
    {
        const com::SafeArrayData access(data.Get()->parray);
        if (!access) {
            com::ReportFailure("Save: the array from Request.BinaryRead cannot be read");
            throw EInternalError();
        }
        std::memcpy(buffer + at, access.Data(), n);
    }
    if (updater_) {
        updater_->AddUploadedBytes(static_cast<std::int32_t>(n));
        if (updater_->IsUploadCancelled())
            throw EUserCancelledUpload();
    }
    return n;
}

void CPostQueryStream::ReadChunk()
{
    try {
        const std::uint32_t n = ReadInto(0, [this](std::uint32_t delivered) {
            end = delivered;
            position = 0;
        });
        if (n == 0)
            throw ENoMoreData();
    } catch (const EUserCancelledUpload&) {
        throw;
    } catch (...) {
        end = 0;
        throw;
    }
}

bool CPostQueryStream::Refill(std::uint32_t keep, std::int32_t& shift)
{
    if (keep == 0) {
        shift = -static_cast<std::int32_t>(end);
        ReadChunk();
        return true;
    }
    try {
        if (keep > end)
            throw EInternalError();
        const std::uint32_t oldEnd = end;
        std::memmove(buffer, buffer + (oldEnd - keep), keep);
        const std::uint32_t n = ReadInto(keep, [&](std::uint32_t delivered) {
            shift = static_cast<std::int32_t>(keep) - static_cast<std::int32_t>(oldEnd);
            end = keep + delivered;
            position = delivered == 0 ? end - 1 : keep;
        });
        return n > 0;
    } catch (const EUserCancelledUpload&) {
        throw;
    } catch (...) {
        end = 0;
        throw;
    }
}
