#include "parser/part_limits.h"

#include "com/failure_reason.h"

namespace parser {

namespace {

// Whether one more (the count after it) goes over `limit`; 0 is no limit.
constexpr bool Over(std::uint32_t limit, std::uint64_t count) noexcept
{
    return limit != 0 && count > limit;
}

constexpr std::string_view kRejected = "Save: the request is rejected: ";

} // namespace

void CPartLimits::PartBegins()
{
    if (Over(limits_.maxParts, std::uint64_t(parts_) + 1)) {
        com::ReportFailure(kRejected, "it holds more than MaxParts (", limits_.maxParts, ") parts");
        throw ETooManyParts();
    }
    ++parts_;
}

void CPartLimits::FileBegins(const WideString& fieldName, const WideString& fileName)
{
    if (Over(limits_.maxFiles, std::uint64_t(files_) + 1)) {
        com::ReportFailure(kRejected, "it holds more than MaxFiles (", limits_.maxFiles, ") files; the next is ",
                           com::Quoted(fileName), " of the field ", com::Quoted(fieldName));
        throw ETooManyFiles();
    }
    ++files_;
}

void CPartLimits::TextBegins(const WideString& fieldName)
{
    if (Over(limits_.maxFields, std::uint64_t(fields_) + 1)) {
        com::ReportFailure(kRejected, "it holds more than MaxFields (", limits_.maxFields,
                           ") text fields; the next is ", com::Quoted(fieldName));
        throw ETooManyFields();
    }
    ++fields_;
}

void CPartLimits::RejectFileBytes(const WideString& fieldName, const WideString& fileName) const
{
    com::ReportFailure(kRejected, "the file ", com::Quoted(fileName), " of the field ", com::Quoted(fieldName),
                       " is larger than MaxFileBytes (", limits_.maxFileBytes, " bytes)");
    throw EFileTooLarge();
}

void CPartLimits::RejectFieldBytes(const WideString& fieldName) const
{
    com::ReportFailure(kRejected, "the text field ", com::Quoted(fieldName), " is larger than MaxFieldBytes (",
                       limits_.maxFieldBytes, " bytes)");
    throw EFieldTooLarge();
}

} // namespace parser
