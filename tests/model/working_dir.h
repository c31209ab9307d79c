#pragma once

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

// A fresh empty folder per test, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        temp_ = std::make_unique<pmv::test::TempDir>();
        dir_ = std::filesystem::canonical(temp_->path()).string();
    }
    void TearDown() override { temp_.reset(); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    std::unique_ptr<pmv::test::TempDir> temp_;
    std::string dir_;
};

// Also makes the folder the current directory for the test.
class WorkingDirTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous_);
        TempDirTest::TearDown();
    }

    std::filesystem::path previous_;
};

inline std::string ReadBytes(const std::string& path) { return pmv::test::ReadFileBytes(path); }

inline void WriteBytes(const std::string& path, const std::string& bytes) { pmv::test::WriteFileBytes(path, bytes); }

// Text written with "\n" line ends, as a Windows file holds it.
inline std::string Crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}
