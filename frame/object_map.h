// The object map: one entry per coclass, in registration order. Only Progress, UploadMetadata and
// Upload have class objects; the others are registered but not creatable through the DLL.
#pragma once

#include "frame/instance_creators.h"
#include "platform/win.h"

#include <span>

namespace frame {

struct ObjectMapEntry {
    const CLSID* clsid;
    const OLECHAR* name;             // coclass name: ProgIDs are Kestrune.<name> and Kestrune.<name>.1
    InstanceCreator creator;         // null: registration only, no class object
    bool aggregatable;
    bool programmable;               // writes the Programmable key
    const OLECHAR* threadingModel;
};

/// The seven entries: UploadedFileCollection, TextFieldCollection, UploadedFile, TextField,
/// Progress, UploadMetadata, Upload.
std::span<const ObjectMapEntry> ObjectMap() noexcept;

} // namespace frame
