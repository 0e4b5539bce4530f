// The serial port's device calls, straight to the Win32 communications API.
#include "seriallink/CommApi.h"

#include <windows.h>

namespace {

class TSystemCommApi : public TCommApi {
public:
    Handle OpenDevice(const wchar_t *path) override
    {
        return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                           nullptr);
    }
    bool CloseDevice(Handle device) override { return ::CloseHandle(device) != 0; }
    bool SetupComm(Handle device, Dword inQueue, Dword outQueue) override
    {
        return ::SetupComm(device, inQueue, outQueue) != 0;
    }
    bool GetCommState(Handle device, void *dcb) override { return ::GetCommState(device, static_cast<DCB *>(dcb)) != 0; }
    bool SetCommState(Handle device, void *dcb) override { return ::SetCommState(device, static_cast<DCB *>(dcb)) != 0; }
    bool SetCommTimeouts(Handle device, void *timeouts) override
    {
        return ::SetCommTimeouts(device, static_cast<COMMTIMEOUTS *>(timeouts)) != 0;
    }
    bool SetCommMask(Handle device, Dword mask) override { return ::SetCommMask(device, mask) != 0; }
    bool WaitCommEvent(Handle device, Dword *mask, Overlapped io) override
    {
        return ::WaitCommEvent(device, mask, static_cast<OVERLAPPED *>(io)) != 0;
    }
    bool WriteFile(Handle device, const void *data, Dword size, Dword *written, Overlapped io) override
    {
        return ::WriteFile(device, data, size, written, static_cast<OVERLAPPED *>(io)) != 0;
    }
    bool ReadFile(Handle device, void *data, Dword size, Dword *got, Overlapped io) override
    {
        return ::ReadFile(device, data, size, got, static_cast<OVERLAPPED *>(io)) != 0;
    }
    bool GetOverlappedResult(Handle device, Overlapped io, Dword *count, bool wait) override
    {
        return ::GetOverlappedResult(device, static_cast<OVERLAPPED *>(io), count, wait ? TRUE : FALSE) != 0;
    }
    Dword WaitForEvent(Handle event, Dword ms) override { return ::WaitForSingleObject(event, ms); }
    bool CancelIoEx(Handle device, Overlapped io) override
    {
        return ::CancelIoEx(device, static_cast<OVERLAPPED *>(io)) != 0;
    }
    bool PurgeComm(Handle device, Dword flags) override { return ::PurgeComm(device, flags) != 0; }
    bool ClearCommError(Handle device, Dword *errors, Dword *inQueue) override
    {
        COMSTAT status {};
        if (!::ClearCommError(device, errors, &status))
            return false;
        *inQueue = status.cbInQue;
        return true;
    }
    Dword LastError() override { return ::GetLastError(); }
};

} // namespace

TCommApi &SystemCommApi()
{
    static TSystemCommApi api;
    return api;
}
