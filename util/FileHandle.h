// An owned file handle from CreateFileW, closed when it goes out of scope.
#pragma once

#include "framework/Win.h"

#include <utility>

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) noexcept : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle()
    {
        if (Valid())
            CloseHandle(handle_);
    }

    // CreateFileW reports failure with INVALID_HANDLE_VALUE, not null.
    bool Valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};
