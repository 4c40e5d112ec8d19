#pragma once
// One recognised part header line (Content-Disposition or Content-Type), validated.

#include <cstdint>
#include <string>

#include "parser/header_kind.h"
#include "parser/post_text_cvrt.h"
#include "platform/win.h"

namespace parser {

class CFieldHeaderImpl {
public:
    /// The header is unusable (wrong type, empty value, non-ASCII value).
    class EFieldHeaderBaseError {};
    /// One parameter is unusable (empty or repeated name/filename).
    class EFieldHeaderBaseErrorRecoverable {};

    /// Validates a header as the lexer read and classified it (`kind` as ReadHeaderStart answered
    /// it, `value` its value): Content-Disposition must be of type form-data, Content-Type must not
    /// be empty; values must be ASCII. Any other kind is unusable.
    CFieldHeaderImpl(THeaderKind kind, const std::string& value, const CPostTextCvrt* converter);

    /// Records one Content-Disposition parameter (`name` and `filename`; others are ignored).
    void SetParameter(const std::string& name, const std::string& value);
    /// True when the value is set and, for Content-Disposition, the name too.
    bool IsComplete() const;

    /// kContentDisposition or kContentType.
    THeaderKind Kind() const { return kind_; }
    const WideString& Name() const { return name_; }
    const WideString& FileName() const { return fileName_; }
    const WideString& Value() const { return value_; }

private:
    void SetOnce(WideString& target, const std::string& value);

    THeaderKind kind_ = kContentDisposition;
    WideString name_;
    WideString fileName_;
    WideString value_;
    const CPostTextCvrt* converter_;
};

} // namespace parser
