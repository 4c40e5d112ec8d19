// The instance creators of the three classes that have class objects. Each has the signature of
// IClassFactory::CreateInstance (outer object, requested interface, out pointer) and is called by
// the class factory after it has checked the aggregation rules. Each class's folder defines its
// own: server/upload_creator.cpp, server/progress_creator.cpp,
// server/upload_metadata_creator.cpp; usually just com::CreateInstance<CUpload>(outer, iid, ppv).
#pragma once

#include "platform/win.h"

namespace com {

using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** ppv);

HRESULT CreateUploadInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept;
HRESULT CreateProgressInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept;
HRESULT CreateUploadMetadataInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept;

} // namespace com
