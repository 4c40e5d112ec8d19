// NeverDestroyed<T>: a T in static storage whose destructor runs only when asked for. A DLL's
// function-local statics are otherwise destroyed at process exit, after the exit guard of its
// entry point, where a destructor that calls into COM or takes a lock may hang the process.
//
//   CKestruneModule& CKestruneModule::Instance() noexcept
//   {
//       static com::NeverDestroyed<CKestruneModule> module;
//       return module.Get();
//   }
//
// Contract: construction as for T (thread-safe as a function-local static); no destructor, so
// nothing is registered to run at exit. Destroy() runs ~T once; nothing may use the object after.
#pragma once

#include <new>
#include <utility>

namespace com {

template <class T>
class NeverDestroyed {
public:
    template <class... Args>
    explicit NeverDestroyed(Args&&... args)
    {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& Get() noexcept { return *std::launder(reinterpret_cast<T*>(storage_)); }

    /// Runs T's destructor: for the one place that ends the object's life on purpose.
    void Destroy() noexcept { Get().~T(); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

} // namespace com
