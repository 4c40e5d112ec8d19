#pragma once
// CComFieldReceiver: turns each field the parser finishes into a result object and adds it to its
// collection: text fields to Form, file fields (with their temporary file) to Files. Every field
// is kept, also when its name repeats an earlier one (a checkbox group, a multiple file input).

#include "parser/field_data.h"
#include "parser/upload_statistics_updater.h"

class CUploadedFileCollection;
class CTextFieldCollection;

class CComFieldReceiver : public parser::CFieldReceiver {
public:
    /// None of the three is owned; `updater` may be null (no statistics).
    CComFieldReceiver(CUploadedFileCollection* files, CTextFieldCollection* texts,
                      IUploadStatisticsUpdater* updater) noexcept
        : files_(files), texts_(texts), updater_(updater)
    {}

    void ReceiveTextField(parser::CTextFieldData& text) override;
    void ReceiveFileField(parser::CFileFieldData& file) override;

private:
    CUploadedFileCollection* files_;
    CTextFieldCollection* texts_;
    IUploadStatisticsUpdater* updater_;
};
