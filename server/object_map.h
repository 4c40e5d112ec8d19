// The object map: one entry per coclass, in registration order. Only Progress, UploadMetadata and
// Upload have class objects; the others are registered but not creatable through the DLL.
//
// The map is a constant here, so that everything kept per class takes its size from it: the
// module's cache of class objects is an array of ObjectMap().size() entries, indexed by the
// entry's position. Adding a class is adding its entry here.
#pragma once

#include "server/instance_creators.h"
#include "platform/win.h"

#include "kestrune_idl.h"

#include <span>

namespace com {

struct ObjectMapEntry {
    const CLSID* clsid;
    const OLECHAR* name;     // coclass name: ProgIDs are Kestrune.<name> and Kestrune.<name>.1
    InstanceCreator creator; // null: registration only, no class object
    bool aggregatable;
    bool programmable; // writes the Programmable key
    const OLECHAR* threadingModel;
};

inline constexpr ObjectMapEntry kObjectMap[] = {
    {&CLSID_UploadedFileCollection, OLESTR("UploadedFileCollection"), nullptr, false, true, OLESTR("Both")},
    {&CLSID_TextFieldCollection, OLESTR("TextFieldCollection"), nullptr, false, true, OLESTR("Both")},
    {&CLSID_UploadedFile, OLESTR("UploadedFile"), nullptr, false, true, OLESTR("Both")},
    {&CLSID_TextField, OLESTR("TextField"), nullptr, false, true, OLESTR("Both")},
    {&CLSID_Progress, OLESTR("Progress"), &CreateProgressInstance, true, true, OLESTR("Both")},
    {&CLSID_UploadMetadata, OLESTR("UploadMetadata"), &CreateUploadMetadataInstance, false, false, OLESTR("Neutral")},
    {&CLSID_Upload, OLESTR("Upload"), &CreateUploadInstance, true, true, OLESTR("Both")},
};

/// The seven entries: UploadedFileCollection, TextFieldCollection, UploadedFile, TextField,
/// Progress, UploadMetadata, Upload.
constexpr std::span<const ObjectMapEntry, std::size(kObjectMap)> ObjectMap() noexcept
{
    return kObjectMap;
}

} // namespace com
