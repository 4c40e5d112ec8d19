#include "parser/field_impl.h"

#include "parser/data_source_base.h"

namespace parser {

CFieldImpl::CFieldImpl(const CPostTextCvrt* converter, IUploadStatisticsUpdater* updater, CPartLimits& limits)
    : updater_(updater), limits_(&limits), converter_(converter)
{}

// Destroying the temporary file object deletes a file that was never detached.
CFieldImpl::~CFieldImpl() = default;

void CFieldImpl::AddHeader(const CFieldHeaderImpl& header)
{
    try {
        if (phase_ != kHeaders || !header.IsComplete())
            throw EFieldBaseErrorRecoverable();
        if (header.Kind() == kContentDisposition) {
            if (headerFlags_ & kHasDisposition)
                throw EFieldBaseErrorRecoverable();
            fieldName_ = header.Name();
            fileName_ = header.FileName();
            headerFlags_ |= kHasDisposition;
        } else {
            if (headerFlags_ & kHasContentType)
                throw EFieldBaseErrorRecoverable();
            contentType_ = header.Value();
            headerFlags_ |= kHasContentType;
        }
    } catch (const EFieldBaseErrorRecoverable&) {
        throw;
    } catch (const CDataSourceBase::EUserCancelledUpload&) {
        throw;
    } catch (...) {
        throw EFieldBaseError();
    }
}

void CFieldImpl::StartData(const WideString& tempDir)
{
    if (phase_ != kHeaders || !(headerFlags_ & kHasDisposition) || fieldName_.empty() ||
        ((headerFlags_ & kHasContentType) && contentType_.empty())) {
        throw EFieldBaseErrorRecoverable();
    }
    if (IsFileField()) {
        limits_->FileBegins(fieldName_, fileName_);
        tempFile_ = std::make_unique<utils::CTempFile>(tempDir);
        if (updater_ != nullptr)
            updater_->SetCurrentFileName(fileName_);
    } else {
        limits_->TextBegins(fieldName_);
        content_.Reserve(1024);
    }
    phase_ = kContent;
}

void CFieldImpl::Receive(const char* data, std::int32_t count)
{
    if (phase_ != kContent)
        throw EFieldBaseErrorRecoverable();
    if (data == nullptr || count <= 0)
        return;
    if (tempFile_) {
        limits_->FileBytes(fieldName_, fileName_, fileBytes_, static_cast<std::uint32_t>(count));
        tempFile_->Write(data, static_cast<std::uint32_t>(count));
        fileBytes_ += static_cast<std::uint32_t>(count);
    } else {
        limits_->TextBytes(fieldName_, content_.View().size(), static_cast<std::uint32_t>(count));
        content_.Append(data, static_cast<std::size_t>(count));
    }
}

void CFieldImpl::Finish(CFieldReceiver& receiver)
{
    if (phase_ != kContent)
        throw EFieldBaseErrorRecoverable();
    if (IsFileField()) {
        receiver.ReceiveFileField(*this);
    } else {
        value_ = content_.Empty() ? com::Bstr(OLESTR("")) : converter_->ConvertToBstr(content_.View());
        receiver.ReceiveTextField(*this);
    }
    phase_ = kFinished;
}

utils::CDetachedTempFile CFieldImpl::DetachTempFile()
{
    if (!tempFile_)
        throw EFieldBaseErrorRecoverable();
    return tempFile_->Detach();
}

} // namespace parser
