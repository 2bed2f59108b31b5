// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/windows_kernel32.h"

#include <algorithm>

#include <windows.h>

namespace memory {
namespace {

std::uint32_t cap32(SIZE_T v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu)); }

} // namespace

std::uint32_t WindowsKernel32::GetVersion()
{
    return static_cast<std::uint32_t>(::GetVersion());
}

bool WindowsKernel32::GlobalMemoryStatusEx(MEMORYSTATUSEX &status)
{
    if (status.dwLength != sizeof(MEMORYSTATUSEX))
        return false;
    ::MEMORYSTATUSEX native{};
    native.dwLength = sizeof native;
    if (!::GlobalMemoryStatusEx(&native))
        return false;
    status.dwMemoryLoad = native.dwMemoryLoad;
    status.ullTotalPhys = native.ullTotalPhys;
    status.ullAvailPhys = native.ullAvailPhys;
    status.ullTotalPageFile = native.ullTotalPageFile;
    status.ullAvailPageFile = native.ullAvailPageFile;
    status.ullTotalVirtual = native.ullTotalVirtual;
    status.ullAvailVirtual = native.ullAvailVirtual;
    status.ullAvailExtendedVirtual = native.ullAvailExtendedVirtual;
    return true;
}

void WindowsKernel32::GlobalMemoryStatus(MEMORYSTATUS &status)
{
    ::MEMORYSTATUS native{};
    native.dwLength = sizeof native;
    ::GlobalMemoryStatus(&native);
    status.dwMemoryLoad = native.dwMemoryLoad;
    status.dwTotalPhys = cap32(native.dwTotalPhys);
    status.dwAvailPhys = cap32(native.dwAvailPhys);
    status.dwTotalPageFile = cap32(native.dwTotalPageFile);
    status.dwAvailPageFile = cap32(native.dwAvailPageFile);
    status.dwTotalVirtual = cap32(native.dwTotalVirtual);
    status.dwAvailVirtual = cap32(native.dwAvailVirtual);
}

} // namespace memory
