// CStreamBodySource: a request body read from a stream (the rest of a captured request file),
// pulled from it piece by piece as BinaryRead asks.
//
//   auto body = std::make_unique<host::CStreamBodySource>(std::move(fileStream));
#pragma once

#include "host/body_source.h"

#include <istream>
#include <memory>

namespace host {

class CStreamBodySource final : public CBodySource {
public:
    /// Takes the stream positioned at the first body byte; the body ends with the stream.
    explicit CStreamBodySource(std::unique_ptr<std::istream> stream);

    /// A read error of the stream answers E_FAIL.
    HRESULT Read(BYTE* buffer, ULONG wanted, ULONG* delivered) override;
    /// Bytes left in the stream when it can be measured (a file), else kUnknownAvailable.
    ULONGLONG Available() const noexcept override;

private:
    std::unique_ptr<std::istream> stream_;
    ULONGLONG available_ = kUnknownAvailable;
};

} // namespace host
