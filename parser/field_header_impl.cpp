#include "parser/field_header_impl.h"

#include "parser/data_source_base.h"
#include "parser/text_conversion.h"

namespace parser {

namespace {
using ECancelled = CDataSourceBase::EUserCancelledUpload;
}

CFieldHeaderImpl::CFieldHeaderImpl(THeaderKind kind, const std::string& value, const CPostTextCvrt* converter)
    : converter_(converter)
{
    try {
        std::string lowerValue = value;
        textconv::AsciiToLower(lowerValue);
        value_ = textconv::AsciiToWide(value);
        switch (kind) {
        case kContentDisposition:
            kind_ = kContentDisposition;
            if (lowerValue != "form-data")
                throw EFieldHeaderBaseError();
            break;
        case kContentType:
            kind_ = kContentType;
            if (value.empty())
                throw EFieldHeaderBaseError();
            break;
        default: throw EFieldHeaderBaseError();
        }
    } catch (const ECancelled&) {
        throw;
    } catch (...) {
        throw EFieldHeaderBaseError();
    }
}

void CFieldHeaderImpl::SetOnce(WideString& target, const std::string& value)
{
    if (value.empty() || !target.empty())
        throw EFieldHeaderBaseErrorRecoverable();
    target = converter_->Convert(value);
}

void CFieldHeaderImpl::SetParameter(const std::string& name, const std::string& value)
{
    if (kind_ != kContentDisposition)
        return;
    try {
        std::string lowerName = name;
        textconv::AsciiToLower(lowerName);
        if (lowerName == "name") {
            SetOnce(name_, value);
        } else if (lowerName == "filename") {
            SetOnce(fileName_, value);
        }
    } catch (const EFieldHeaderBaseErrorRecoverable&) {
        throw;
    } catch (const ECancelled&) {
        throw;
    } catch (...) {
        throw EFieldHeaderBaseError();
    }
}

bool CFieldHeaderImpl::IsComplete() const
{
    if (value_.empty())
        return false;
    return kind_ != kContentDisposition || !name_.empty();
}

} // namespace parser
