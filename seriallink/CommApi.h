#pragma once

// The calls of the Windows communications API that the serial port makes on its device, in
// the system's own shapes but with neutral types: a handle and an OVERLAPPED are pointers, a
// DWORD an unsigned long, a DCB and a COMMTIMEOUTS are passed by address. The serial port makes
// every device call through this, so that a test can stand in for a driver that misbehaves (a
// write that never completes, an adapter pulled between two calls). Windows only: the real
// calls are in CommApi_windows.cpp.
class TCommApi {
public:
    using Handle = void *;
    using Overlapped = void *;
    using Dword = unsigned long;

    virtual ~TCommApi() = default;

    // CreateFileW for reading and writing, not shared, existing device only, overlapped; the
    // invalid handle value on failure.
    virtual Handle OpenDevice(const wchar_t *path) = 0;
    virtual bool CloseDevice(Handle device) = 0;
    virtual bool SetupComm(Handle device, Dword inQueue, Dword outQueue) = 0;
    virtual bool GetCommState(Handle device, void *dcb) = 0;
    virtual bool SetCommState(Handle device, void *dcb) = 0;
    virtual bool SetCommTimeouts(Handle device, void *timeouts) = 0;
    virtual bool SetCommMask(Handle device, Dword mask) = 0;
    virtual bool WaitCommEvent(Handle device, Dword *mask, Overlapped io) = 0;
    virtual bool WriteFile(Handle device, const void *data, Dword size, Dword *written, Overlapped io) = 0;
    virtual bool ReadFile(Handle device, void *data, Dword size, Dword *got, Overlapped io) = 0;
    virtual bool GetOverlappedResult(Handle device, Overlapped io, Dword *count, bool wait) = 0;
    // WaitForSingleObject on an I/O's event: 0 (WAIT_OBJECT_0) when it is set, 258 (WAIT_TIMEOUT)
    // when ms passed first.
    virtual Dword WaitForEvent(Handle event, Dword ms) = 0;
    virtual bool CancelIoEx(Handle device, Overlapped io) = 0;
    virtual bool PurgeComm(Handle device, Dword flags) = 0;
    // ClearCommError; inQueue is COMSTAT's cbInQue.
    virtual bool ClearCommError(Handle device, Dword *errors, Dword *inQueue) = 0;
    // GetLastError after a call above that failed.
    virtual Dword LastError() = 0;
};

// The system's communications API.
TCommApi &SystemCommApi();
