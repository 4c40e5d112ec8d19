#include "frame/object_map.h"

#include "kestrune_idl.h"

namespace frame {

std::span<const ObjectMapEntry> ObjectMap() noexcept
{
    static const ObjectMapEntry entries[] = {
        {&CLSID_UploadedFileCollection, OLESTR("UploadedFileCollection"), nullptr, false, true, OLESTR("Both")},
        {&CLSID_TextFieldCollection, OLESTR("TextFieldCollection"), nullptr, false, true, OLESTR("Both")},
        {&CLSID_UploadedFile, OLESTR("UploadedFile"), nullptr, false, true, OLESTR("Both")},
        {&CLSID_TextField, OLESTR("TextField"), nullptr, false, true, OLESTR("Both")},
        {&CLSID_Progress, OLESTR("Progress"), &CreateProgressInstance, true, true, OLESTR("Both")},
        {&CLSID_UploadMetadata, OLESTR("UploadMetadata"), &CreateUploadMetadataInstance, false, false,
         OLESTR("Neutral")},
        {&CLSID_Upload, OLESTR("Upload"), &CreateUploadInstance, true, true, OLESTR("Both")},
    };
    return entries;
}

} // namespace frame
