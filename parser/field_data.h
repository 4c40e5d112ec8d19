#pragma once
// How a finished form field shows itself to the field receiver: a text field or a file field.
// The receiver must copy or take what it needs during the call; the field dies after it.

#include <string_view>

#include "com/bstr.h"
#include "platform/win.h"
#include "files/detached_temp_file.h"

namespace parser {

class CBaseFieldData {
public:
    /// The field's name (the `name` parameter after text conversion).
    virtual WideString GetName() const = 0;
    /// The part's Content-Type value, empty if it had none.
    virtual WideString GetContentType() const = 0;
    /// Always empty: part contents are never transfer-decoded.
    virtual WideString GetContentTransferEncoding() const = 0;
    virtual ~CBaseFieldData() = default;
};

class CTextFieldData : public CBaseFieldData {
public:
    /// The raw content bytes as received.
    virtual std::string_view GetData() const = 0;
    /// The content converted to text, embedded NULs kept; a null BSTR once taken.
    virtual com::Bstr TakeValue() = 0;
};

class CFileFieldData : public CBaseFieldData {
public:
    /// The client's file name exactly as sent (whole path, after text conversion).
    virtual WideString GetFileName() const = 0;
    /// Closes the temporary file and hands its ownership to the caller.
    virtual utils::CDetachedTempFile DetachTempFile() = 0;
};

/// Where the parser hands each finished field, in the order of the parts in the body.
class CFieldReceiver {
public:
    virtual void ReceiveTextField(CTextFieldData& text) = 0;
    virtual void ReceiveFileField(CFileFieldData& file) = 0;
    virtual ~CFieldReceiver() = default;
};

} // namespace parser
