#include "progress/progress_services.h"

#include "com/never_destroyed.h"

namespace {

com::NeverDestroyed<CProgressServices>& Storage() noexcept
{
    static com::NeverDestroyed<CProgressServices> services;
    return services;
}

} // namespace

CProgressServices& CProgressServices::Instance() noexcept
{
    return Storage().Get();
}

void CProgressServices::DestroyInstance() noexcept
{
    Storage().Destroy();
}

bool CProgressServices::Start() noexcept
{
    return SUCCEEDED(uploadManager_.Init()) && SUCCEEDED(progressTimer_.Init());
}

void CProgressServices::Stop(bool mayCallCom) noexcept
{
    uploadManager_.Term(mayCallCom);
    progressTimer_.Term(mayCallCom);
}

bool CProgressServices::IsRunning() noexcept
{
    return uploadManager_.IsRunning() || progressTimer_.IsRunning();
}
