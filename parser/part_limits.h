#pragma once
// CPartLimits: what one parse may hold, counted as the parts arrive. A page sets the limits before
// Save; the first one the body goes over stops the parse at once, before the bytes over it are
// stored anywhere, and names itself with one failure reason (the limit, the field, the sizes).
//
//   CPartLimits limits(options.limits);
//   limits.PartBegins();                       // at every delimiter that opens a part
//   limits.FileBegins(fieldName, fileName);    // before a file part's temporary file is made
//   limits.FileBytes(fieldName, fileName, held, count);   // before count more bytes are written
//
// The exceptions pass the search engine like a cancellation (they derive from the source's
// recoverable class) and leave the parse as they are.

#include <cstdint>

#include "parser/data_source_base.h"
#include "platform/win.h"

namespace parser {

/// The limits of one parse; 0 means no limit.
struct TPartLimits {
    std::uint32_t maxFileBytes = 0;  ///< content bytes of one file part
    std::uint32_t maxFiles = 0;      ///< file parts kept
    std::uint32_t maxFields = 0;     ///< text parts kept
    std::uint32_t maxFieldBytes = 0; ///< content bytes of one text part
    std::uint32_t maxParts = 0;      ///< parts of any kind, kept or dropped
};

class CPartLimits {
public:
    /// The body goes over a limit; one class per limit below.
    class ELimitExceeded : public CDataSourceBase::EInternalErrorRecoverable {};
    class EFileTooLarge : public ELimitExceeded {};
    class ETooManyFiles : public ELimitExceeded {};
    class ETooManyFields : public ELimitExceeded {};
    class EFieldTooLarge : public ELimitExceeded {};
    class ETooManyParts : public ELimitExceeded {};

    explicit CPartLimits(const TPartLimits& limits) noexcept : limits_(limits) {}

    /// A part begins. Throws ETooManyParts for the part after the last one allowed.
    void PartBegins();
    /// A file part will be kept. Throws ETooManyFiles for the file after the last one allowed.
    void FileBegins(const WideString& fieldName, const WideString& fileName);
    /// A text part will be kept. Throws ETooManyFields for the field after the last one allowed.
    void TextBegins(const WideString& fieldName);
    /// `count` more content bytes arrive for a file part that holds `held` already. Throws
    /// EFileTooLarge when they would make it larger than allowed. Called for every chunk of content,
    /// so the check itself is inline.
    void FileBytes(const WideString& fieldName, const WideString& fileName, std::uint64_t held,
                   std::uint32_t count) const
    {
        if (limits_.maxFileBytes != 0 && held + count > limits_.maxFileBytes)
            RejectFileBytes(fieldName, fileName);
    }
    /// The same for a text part; throws EFieldTooLarge.
    void TextBytes(const WideString& fieldName, std::uint64_t held, std::uint32_t count) const
    {
        if (limits_.maxFieldBytes != 0 && held + count > limits_.maxFieldBytes)
            RejectFieldBytes(fieldName);
    }

private:
    [[noreturn]] void RejectFileBytes(const WideString& fieldName, const WideString& fileName) const;
    [[noreturn]] void RejectFieldBytes(const WideString& fieldName) const;

    TPartLimits limits_;
    std::uint32_t parts_ = 0;
    std::uint32_t files_ = 0;
    std::uint32_t fields_ = 0;
};

} // namespace parser
