#include "serial/win32/Win32SerialLine.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "platform/win32/WideText.h"
#include "serial/DeviceAccess.h"
#include "serial/TraceSink.h"

namespace quillon {

struct Win32SerialLine::Overlapped {
    OVERLAPPED overlapped{};
};

namespace {

constexpr size_t kReadBlock = 4096;
constexpr size_t kWriteBlock = 4096;

// The open lines by number, for the pump, which only gets the number.
struct OpenLine {
    HANDLE readEvent;
    HANDLE writeEvent;
};
std::map<int, OpenLine>& OpenLines() {
    static std::map<int, OpenLine> lines;
    return lines;
}
int gNextKey = 1;

// The errno a failed line operation reports. A port that went away (a USB adapter pulled)
// fails with a broken pipe or not ready; that is the device gone, as EIO is on POSIX.
int LineError(DWORD error) {
    switch (error) {
        case ERROR_BROKEN_PIPE:
        case ERROR_NOT_READY:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_FILE_NOT_FOUND:
            return EIO;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        default:
            return EIO;
    }
}

// Modem-line and handshake settings a port without modem lines (a pseudo-terminal under wine)
// refuses; the bytes flow all the same, so the refusal is only worth a trace line.
bool ModemLineRefusal(DWORD error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

void TraceWarning(const std::string& port, const char* what, DWORD error) {
    if (TraceSink* sink = TraceSink::Active()) {
        sink->Line(port + ": " + what + " refused (" + std::to_string(error) + "), going on");
    }
}

std::string PortName(const std::string& port) {
    const auto slash = port.find_last_of("\\/");
    std::string name = slash == std::string::npos ? port : port.substr(slash + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return name;
}

}  // namespace

std::wstring Win32SerialLine::PortMutexName(const std::string& port) {
    return L"Local\\quillon-port-" + WideText(PortName(port));
}

bool Win32SerialLine::HeldByUs(const std::string& port) {
    const HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, PortMutexName(port).c_str());
    if (mutex == nullptr) {
        return false;
    }
    const DWORD state = ::WaitForSingleObject(mutex, 0);
    if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED) {
        ::ReleaseMutex(mutex);
    }
    ::CloseHandle(mutex);
    return state == WAIT_TIMEOUT;
}

void* Win32SerialLine::ReadEventOf(int key) {
    const auto found = OpenLines().find(key);
    return found == OpenLines().end() ? nullptr : found->second.readEvent;
}

void* Win32SerialLine::WriteEventOf(int key) {
    const auto found = OpenLines().find(key);
    return found == OpenLines().end() ? nullptr : found->second.writeEvent;
}

LineFactory Win32SerialLine::Factory() {
    return [] { return std::make_unique<Win32SerialLine>(); };
}

Win32SerialLine::~Win32SerialLine() {
    Win32SerialLine::Close();
}

OpenFailure Win32SerialLine::Open(const std::string& devicePath, const LineSettings& settings) {
    Close();
    devicePath_ = devicePath;
    settings_ = settings;
    if (devicePath.empty()) {
        OpenFailure failure;
        failure.reason = OpenFailure::Reason::NoSuchDevice;
        return failure;
    }
    // The port's mutex first: a port another of these programs holds is in use, even where
    // the driver would let a second open through.
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, PortMutexName(devicePath).c_str());
    if (mutex == nullptr) {
        return DeviceAccess::Explain(devicePath, static_cast<int>(::GetLastError()));
    }
    const DWORD owned = ::WaitForSingleObject(mutex, 0);
    if (owned != WAIT_OBJECT_0 && owned != WAIT_ABANDONED) {
        ::CloseHandle(mutex);
        return DeviceAccess::Explain(devicePath, ERROR_SHARING_VIOLATION);
    }
    const HANDLE port = ::CreateFileW(WideText(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    auto fail = [&](DWORD error) {
        if (port != INVALID_HANDLE_VALUE) {
            ::CloseHandle(port);
        }
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
        return DeviceAccess::Explain(devicePath, static_cast<int>(error));
    };
    if (port == INVALID_HANDLE_VALUE) {
        return fail(::GetLastError());
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetFileType(port) != FILE_TYPE_CHAR || !::GetCommState(port, &dcb)) {
        return fail(ERROR_INVALID_FUNCTION);  // opens, but is no serial port
    }
    handle_ = port;
    mutex_ = mutex;
    read_ = new Overlapped;
    write_ = new Overlapped;
    read_->overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    write_->overlapped.hEvent = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    key_ = gNextKey++;
    OpenLines()[key_] = {read_->overlapped.hEvent, write_->overlapped.hEvent};
    readBuffer_.resize(kReadBlock);
    // A setting the driver refuses leaves the line as it was; the open stands, as on POSIX.
    (void)ApplySettings();
    StartRead();
    return {};
}

unsigned long Win32SerialLine::ApplySettings() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) {
        return ::GetLastError();
    }
    dcb.BaudRate = static_cast<DWORD>(settings_.bitsPerSecond);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutxCtsFlow = settings_.flowControl ? TRUE : FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    // Port mode: RTS goes up only while bytes leave; with the handshake it follows the input.
    dcb.fRtsControl = settings_.rs485         ? RTS_CONTROL_TOGGLE
                      : settings_.flowControl ? RTS_CONTROL_HANDSHAKE
                                              : RTS_CONTROL_ENABLE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    DWORD refused = 0;
    if (!::SetCommState(handle_, &dcb)) {
        refused = ::GetLastError();
        if (ModemLineRefusal(refused)) {
            TraceWarning(devicePath_, "the modem lines", refused);
            refused = 0;
        }
    }
    // Reads end a moment after the last byte, or after a while without any, so that one is
    // always outstanding and never ties the program up.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReadGapMs;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kReadSliceMs;
    if (!::SetCommTimeouts(handle_, &timeouts) && refused == 0) {
        refused = ::GetLastError();
    }
    return refused;
}

void Win32SerialLine::Close() {
    if (handle_ == nullptr) {
        return;
    }
    // What was written leaves first, for a while at most: a port held back by its handshake
    // must not keep the program from closing.
    if (writePending_ &&
        ::WaitForSingleObject(write_->overlapped.hEvent, kCloseDrainMs) != WAIT_OBJECT_0) {
        ::CancelIoEx(handle_, &write_->overlapped);
    }
    int ignored = 0;
    (void)CollectWrite(true, ignored);
    if (readPending_) {
        ::CancelIoEx(handle_, &read_->overlapped);
        DWORD n = 0;
        ::GetOverlappedResult(handle_, &read_->overlapped, &n, TRUE);
        readPending_ = false;
    }
    ::CloseHandle(handle_);
    handle_ = nullptr;
    OpenLines().erase(key_);
    key_ = -1;
    for (Overlapped*& o : {std::ref(read_), std::ref(write_)}) {
        ::CloseHandle(o->overlapped.hEvent);
        delete o;
        o = nullptr;
    }
    arrived_.clear();
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
    mutex_ = nullptr;
}

void Win32SerialLine::StartRead() {
    read_->overlapped = OVERLAPPED{0, 0, {{0, 0}}, read_->overlapped.hEvent};
    // Finished at once or not, the count comes from the overlapped result, the only one that
    // holds for a port opened for overlapped I/O.
    if (::ReadFile(handle_, readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()), nullptr,
                   &read_->overlapped)) {
        readPending_ = true;
        return;
    }
    const DWORD error = ::GetLastError();
    readPending_ = error == ERROR_IO_PENDING;
    if (!readPending_) {
        // Leaves the event set, so that the next Read reports the failure.
        ::SetEvent(read_->overlapped.hEvent);
    }
}

bool Win32SerialLine::CollectRead(int& error) {
    if (!readPending_) {
        return true;
    }
    DWORD n = 0;
    if (!::GetOverlappedResult(handle_, &read_->overlapped, &n, FALSE)) {
        const DWORD failure = ::GetLastError();
        if (failure == ERROR_IO_INCOMPLETE) {
            return true;
        }
        readPending_ = false;
        // A read that timed out keeps the bytes that had come; one cancelled has none to give.
        if (failure == ERROR_TIMEOUT || failure == ERROR_SEM_TIMEOUT ||
            failure == ERROR_OPERATION_ABORTED) {
            n = static_cast<DWORD>(read_->overlapped.InternalHigh);
        } else {
            error = LineError(failure);
            return false;
        }
    }
    readPending_ = false;
    n = std::min<DWORD>(n, static_cast<DWORD>(readBuffer_.size()));
    arrived_.insert(arrived_.end(), readBuffer_.begin(), readBuffer_.begin() + n);
    return true;
}

LineResult Win32SerialLine::Read(uint8_t* buffer, int capacity) {
    if (handle_ == nullptr) {
        return LineResult::Failed(EBADF);
    }
    int error = 0;
    if (!CollectRead(error)) {
        return LineResult::Failed(error);
    }
    const int count = std::min<int>(capacity, static_cast<int>(arrived_.size()));
    std::copy_n(arrived_.begin(), count, buffer);
    arrived_.erase(arrived_.begin(), arrived_.begin() + count);
    // The next read starts only when everything that came is handed over, so the event stays
    // set while bytes wait here.
    if (!readPending_ && arrived_.empty()) {
        StartRead();
    }
    return LineResult::Bytes(count);
}

bool Win32SerialLine::CollectWrite(bool wait, int& error) {
    if (!writePending_) {
        return true;
    }
    DWORD n = 0;
    if (!::GetOverlappedResult(handle_, &write_->overlapped, &n, wait ? TRUE : FALSE)) {
        const DWORD failure = ::GetLastError();
        if (failure == ERROR_IO_INCOMPLETE) {
            return true;
        }
        writePending_ = false;
        error = LineError(failure);
        return false;
    }
    writePending_ = false;
    // The bytes were taken from the caller already: a write that ended short goes on with the
    // rest (an aborted one, at Close, does not).
    if (n < writeBuffer_.size() && n > 0) {
        writeBuffer_.erase(writeBuffer_.begin(), writeBuffer_.begin() + n);
        write_->overlapped = OVERLAPPED{0, 0, {{0, 0}}, write_->overlapped.hEvent};
        if (::WriteFile(handle_, writeBuffer_.data(), static_cast<DWORD>(writeBuffer_.size()),
                        nullptr, &write_->overlapped) ||
            ::GetLastError() == ERROR_IO_PENDING) {
            writePending_ = true;
            return wait ? CollectWrite(true, error) : true;
        }
        error = LineError(::GetLastError());
        return false;
    }
    return true;
}

LineResult Win32SerialLine::Write(const uint8_t* bytes, int count) {
    if (handle_ == nullptr) {
        return LineResult::Failed(EBADF);
    }
    int error = 0;
    if (!CollectWrite(false, error)) {
        return LineResult::Failed(error);
    }
    if (writePending_ || count <= 0) {
        return LineResult::Bytes(0);  // the write in flight has not ended yet
    }
    const size_t take = std::min<size_t>(static_cast<size_t>(count), kWriteBlock);
    writeBuffer_.assign(bytes, bytes + take);
    write_->overlapped = OVERLAPPED{0, 0, {{0, 0}}, write_->overlapped.hEvent};
    if (::WriteFile(handle_, writeBuffer_.data(), static_cast<DWORD>(take), nullptr,
                    &write_->overlapped)) {
        writePending_ = true;  // collected by the next call, as a write still in flight is
        return LineResult::Bytes(static_cast<int>(take));
    }
    const DWORD failure = ::GetLastError();
    if (failure != ERROR_IO_PENDING) {
        return LineResult::Failed(LineError(failure));
    }
    writePending_ = true;
    return LineResult::Bytes(static_cast<int>(take));
}

LineResult Win32SerialLine::Unsent() {
    if (handle_ == nullptr) {
        return {};
    }
    int error = 0;
    if (!CollectWrite(false, error)) {
        return LineResult::Failed(error);
    }
    DWORD errors = 0;
    COMSTAT status{};
    const int queued =
        ::ClearCommError(handle_, &errors, &status) ? static_cast<int>(status.cbOutQue) : 0;
    return LineResult::Bytes(queued + (writePending_ ? static_cast<int>(writeBuffer_.size()) : 0));
}

LineResult Win32SerialLine::SetSpeed(int32_t bitsPerSecond) {
    settings_.bitsPerSecond = bitsPerSecond;
    if (handle_ == nullptr) {
        return {};
    }
    if (bitsPerSecond <= 0) {
        return LineResult::Failed(EINVAL);
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) {
        return LineResult::Failed(LineError(::GetLastError()));
    }
    dcb.BaudRate = static_cast<DWORD>(bitsPerSecond);
    if (!::SetCommState(handle_, &dcb)) {
        const DWORD failure = ::GetLastError();
        if (!ModemLineRefusal(failure)) {
            return LineResult::Failed(EINVAL);
        }
        TraceWarning(devicePath_, "the modem lines", failure);
    }
    return {};
}

}  // namespace quillon
