// A string that the kernel hands back as a UNICODE_STRING at the head of a
// caller's buffer: an object's name, the running image's name.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <string>
#include <vector>

#include "platform/win32/win32_services.h"

namespace platform {

// Calls query(buffer, size, &needed) with a buffer grown until the answer
// fits, and returns the string at its head. Throws the error that an
// answer other than "buffer too small" stands for.
template <typename Query>
std::wstring KernelString(Query query) {
  constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
  constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
  constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023L);
  // ULONGLONG elements keep the buffer aligned for the structure in it.
  std::vector<ULONGLONG> buffer(128);
  for (;;) {
    const ULONG size = static_cast<ULONG>(buffer.size()) * ULONG{sizeof(ULONGLONG)};
    ULONG needed = 0;
    const NTSTATUS status = query(buffer.data(), size, &needed);
    if (status == kInfoLengthMismatch || status == kBufferOverflow || status == kBufferTooSmall) {
      const ULONG grown = needed > size ? needed : size * 2;
      buffer.resize((grown + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
      continue;
    }
    if (status < 0) ThrowWin32Error(::RtlNtStatusToDosError(status));
    const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
    return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
  }
}

}  // namespace platform
