#pragma once
// One part of the body: collects its headers, receives its content from the search engine (in
// memory for a text field, into a temporary file for a file field) and hands itself over.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "parser/field_data.h"
#include "parser/field_header_impl.h"
#include "parser/byte_buffer.h"
#include "parser/part_limits.h"
#include "parser/post_text_cvrt.h"
#include "parser/search_engine.h"
#include "parser/upload_statistics_updater.h"
#include "files/temp_file.h"

namespace parser {

class CFieldImpl : public CSearchEngine::CReceiver, public CTextFieldData, public CFileFieldData {
public:
    /// This header or this field is unusable; the parse goes on.
    class EFieldBaseErrorRecoverable {};
    /// Unexpected failure inside the field; the part is skipped.
    class EFieldBaseError {};

    enum : std::int32_t { kHeaders = 0, kContent = 1, kFinished = 2 };

    /// `updater` may be null; `limits` counts this part against the parse's limits.
    CFieldImpl(const CPostTextCvrt* converter, IUploadStatisticsUpdater* updater, CPartLimits& limits);
    ~CFieldImpl() override;

    /// Takes one header; a second header of the same kind is refused.
    void AddHeader(const CFieldHeaderImpl& header);
    /// Called at the blank line after the headers: checks them, counts the part against the limits
    /// and, for a file field, creates the temporary file in `tempDir` and names the file to the
    /// statistics.
    void StartData(const WideString& tempDir);
    /// Content bytes from the search engine; a part over its size limit stops the parse here.
    void Receive(const char* data, std::int32_t count) override;
    /// Called after the closing delimiter: converts a text value and hands the field over.
    void Finish(CFieldReceiver& receiver);

    bool IsFileField() const { return !fileName_.empty(); }

    WideString GetName() const override { return fieldName_; }
    WideString GetContentType() const override { return contentType_; }
    WideString GetContentTransferEncoding() const override { return contentTransferEncoding_; }
    std::string_view GetData() const override { return content_.View(); }
    com::Bstr TakeValue() override { return std::move(value_); }
    WideString GetFileName() const override { return fileName_; }
    utils::CDetachedTempFile DetachTempFile() override;

private:
    enum : std::int32_t { kHasDisposition = 1, kHasContentType = 2, kHasTransferEncoding = 4 };

    std::int32_t phase_ = kHeaders;
    std::int32_t headerFlags_ = 0;
    WideString fieldName_;
    WideString fileName_;
    WideString contentType_;
    WideString contentTransferEncoding_;
    CByteBuffer content_;
    com::Bstr value_;
    std::unique_ptr<utils::CTempFile> tempFile_;
    std::uint64_t fileBytes_ = 0; // written to the temporary file so far
    IUploadStatisticsUpdater* updater_;
    CPartLimits* limits_;
    const CPostTextCvrt* converter_;
};

} // namespace parser
