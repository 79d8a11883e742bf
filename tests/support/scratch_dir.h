#pragma once

// A fresh scratch folder for one test: named after the test and the process, emptied when it is
// made and removed with the object.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

namespace kelmor::testing {

class ScratchDir
{
public:
    explicit ScratchDir(const std::string &prefix)
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 (prefix + (info ? info->name() : "test") + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir() { std::filesystem::remove_all(m_path); }

    // For a death test's child, which ends with exit() and never runs the destructor: removes
    // the folder when this process made it (a child re-run from the start, as the threadsafe
    // style does), never the parent's (a forked child shares it).
    void removeIfMadeHere() const
    {
        if (m_owner == ::getpid())
            std::filesystem::remove_all(m_path);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::filesystem::path &root() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }
    std::string path(const std::string &name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
    pid_t m_owner = ::getpid();
};

} // namespace kelmor::testing
