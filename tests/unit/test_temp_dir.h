#pragma once
// TestTempDir: a fresh, empty directory for one test, removed with everything in it afterwards.
// Tests ask it which files are left, to prove that nothing leaks.

#include "platform/win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace testing_support {

inline WideString ToWide(const std::filesystem::path& path)
{
    const std::u16string text = path.u16string();
    return WideString(text.begin(), text.end());
}

inline std::filesystem::path ToPath(const WideString& text)
{
    return std::filesystem::path(std::u16string(text.begin(), text.end()));
}

/// The content of a file named as the component names it (backslashes included), read through the
/// platform's file calls.
inline std::string ReadWithPlatform(const WideString& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<cannot open>";
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    ::CloseHandle(file);
    return content;
}

class TestTempDir {
public:
    TestTempDir()
    {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("kestrune-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TestTempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TestTempDir(const TestTempDir&) = delete;
    TestTempDir& operator=(const TestTempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    /// The directory as a wide string, without a trailing separator.
    WideString Wide() const { return ToWide(path_); }
    /// A path inside the directory.
    WideString Wide(const std::string& name) const { return ToWide(path_ / name); }

    /// Names of the regular files in the directory.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        return names;
    }

    /// Creates a file with the given content; returns its wide path.
    WideString Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path_ / name, std::ios::binary) << content;
        return Wide(name);
    }

    static std::string Read(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
};

} // namespace testing_support
