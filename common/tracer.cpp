#include "common/tracer.h"

#include "common/handles.h"
#include "common/namedevent.h"
#include "common/ownfile.h"
#include "common/strformat.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

CTracer g_tracer;

namespace {

const size_t kMessageSize = 4096;

// Opens the file for appending so that every write lands at its end, even
// when several processes append records to the same file at once.
std::FILE* OpenForAppend(const char* path)
{
    // Shared for deletion too, so that the process that finds the file full
    // can move it aside while the others still hold it open.
    // Never appended through a link or a hard link someone put in its place.
    HANDLE file = OpenOwnFile(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              OwnFileMode::Append, FILE_ATTRIBUTE_NORMAL, false)
                      .Release();
    if (file == nullptr) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
    if (fd == -1) {
        ::CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "ab");
    if (stream == nullptr) {
        _close(fd);
        return nullptr;
    }
    // Large enough that a whole record goes out with one write.
    std::setvbuf(stream, nullptr, _IOFBF, 2 * kMessageSize);
    return stream;
}

HANDLE HandleOf(std::FILE* stream)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// Whether the open file is the one the path names now: after another
// process moved the file aside, it is not.
bool IsFileAtPath(HANDLE open, const std::string& path)
{
    UniqueHandle atPath(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION mine = {};
    BY_HANDLE_FILE_INFORMATION theirs = {};
    if (!atPath || !::GetFileInformationByHandle(open, &mine) || !::GetFileInformationByHandle(atPath.Get(), &theirs))
        return false;
    return mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber && mine.nFileIndexHigh == theirs.nFileIndexHigh &&
           mine.nFileIndexLow == theirs.nFileIndexLow;
}

}  // namespace

CTracer::~CTracer()
{
    Close();
}

void CTracer::SetModuleName(const char* name)
{
    m_moduleName = name ? name : "";
}

bool CTracer::Open(unsigned flags, int threshold, const char* path)
{
    Close();
    m_flags = flags;
    m_threshold = threshold;
    if ((m_flags & kFile) == 0) return true;
    if (path == nullptr) return false;

    m_path = path;
    m_file.reset(OpenForAppend(path));
    if (!m_file) {
        m_flags = (m_flags & ~kFile) | kDebugger;
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(m_fileLock);
        KeepUnderSizeLimit();
        if (!WriteHeader()) return false;
    }
    TraceSystemLines();
    return true;
}

bool CTracer::WriteHeader()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const int written = std::fprintf(m_file.get(), "Hollowmere trace file (%s). Created at %.02d/%.02d/%.02d %.02d:%.02d:%.02d.\r\n",
                                     m_moduleName.c_str(), now.wMonth, now.wDay, now.wYear, now.wHour, now.wMinute,
                                     now.wSecond);
    return written >= 0 && std::fflush(m_file.get()) == 0;
}

bool CTracer::KeepUnderSizeLimit()
{
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(HandleOf(m_file.get()), &size) || size.QuadPart < m_sizeLimit) return true;

    // Held while the file is moved aside, so that two processes finding it
    // full at once move it only once.
    UniqueHandle mutex = CreateNamedMutex("Hollowmere_Tidewhistle_Trace_Rotation");
    const DWORD waited = mutex ? ::WaitForSingleObject(mutex.Get(), 5000) : WAIT_FAILED;
    const ScopeExit release([&] {
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ::ReleaseMutex(mutex.Get());
    });
    bool moved = false;
    const bool current = IsFileAtPath(HandleOf(m_file.get()), m_path);
    if (current) {
        const std::string previous = m_path + ".1";
        moved = ::MoveFileExA(m_path.c_str(), previous.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        if (!moved) {
            // The previous generation may be held open by a process that has
            // not yet followed: its name goes first, then this file takes it.
            DeleteOwnFile(previous, false);
            moved = ::MoveFileExA(m_path.c_str(), previous.c_str(), 0) != FALSE;
        }
        if (!moved) return false;
    }
    // Moved aside, by this process or by another: continue in a new file.
    std::FILE* next = OpenForAppend(m_path.c_str());
    if (next == nullptr) return false;
    m_file.reset(next);
    return !moved || WriteHeader();
}

bool CTracer::Close()
{
    m_flags = kOff;
    std::lock_guard<std::mutex> lock(m_fileLock);
    if (!m_file) return true;
    const bool written = std::fputs("Trace file closed.\r\n", m_file.get()) >= 0 && std::fflush(m_file.get()) == 0;
    m_file.reset();
    return written;
}

void CTracer::TraceSystemLines()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL haveVersion = ::GetVersionExA(&version);
#pragma GCC diagnostic pop
    if (haveVersion) {
        Trace(20, "Windows %d.%d.%d, %s, platform: %d", static_cast<int>(version.dwMajorVersion),
              static_cast<int>(version.dwMinorVersion), static_cast<int>(version.dwBuildNumber),
              version.szCSDVersion, static_cast<int>(version.dwPlatformId));
    } else {
        Trace(40, "Cannot obtain system version (%d)", static_cast<int>(::GetLastError()));
    }

    UniqueRegKey key;
    LONG result =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", 0, KEY_QUERY_VALUE, key.Receive());
    if (result != ERROR_SUCCESS) {
        Trace(40, "Cannot obtain IE version (key: %d)", static_cast<int>(result));
        return;
    }
    char text[20] = {};
    DWORD size = sizeof text;
    DWORD type = 0;
    result = ::RegQueryValueExA(key.Get(), "Version", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    key.Reset();
    // A text of 20 characters or more does not fit with its NUL and fails too.
    if (result == ERROR_SUCCESS && (size >= sizeof text && text[sizeof text - 1] != '\0')) result = ERROR_MORE_DATA;
    if (result != ERROR_SUCCESS) {
        Trace(40, "Cannot obtain IE version (value: %d)", static_cast<int>(result));
    } else if (type != REG_SZ) {
        Trace(40, "Cannot obtain IE version (type mismatch: %d)", static_cast<int>(type));
    } else {
        Trace(20, "Internet Explorer version: %s", text);
    }
}

void CTracer::TraceV(int level, const char* format, va_list args, bool privateRecord)
{
    // The caller's last-error code is the same afterwards.
    const DWORD lastError = ::GetLastError();
    const ScopeExit restoreLastError([lastError] { ::SetLastError(lastError); });
    if (m_flags == kOff || level < m_threshold) return;

    try {
        char message[kMessageSize + 2];
        const int length = std::vsnprintf(message, kMessageSize, format, args);
        if (length < 0 || static_cast<size_t>(length) >= kMessageSize) {
            std::snprintf(message, sizeof message, "%s", "<record too long>");
        }

        if ((m_flags & kDebugger) && !privateRecord) ::OutputDebugStringA(message);

        if ((m_flags & kFile) && m_file) {
            SYSTEMTIME now;
            ::GetLocalTime(&now);
            // The record is written whole; the prefix is never cut to make room.
            const std::string record =
                StrFormat("(pid=0x%08X, tid=0x%08X) %.02d/%.02d/%.04d %.02d:%.02d:%.02d  | [%s] ",
                          static_cast<unsigned>(::GetCurrentProcessId()), static_cast<unsigned>(::GetCurrentThreadId()),
                          now.wMonth, now.wDay, now.wYear, now.wHour, now.wMinute, now.wSecond, m_moduleName.c_str()) +
                message + "\r\n";
            WriteRecord(record.c_str());
        }
    } catch (...) {
        if ((m_flags & kFile) && m_file) WriteRecord("catch(...) in tracer.\r\n");
        if (m_flags & kDebugger) ::OutputDebugStringA("catch(...) in tracer.\n");
    }
}

bool CTracer::WriteRecord(const char* text)
{
    std::lock_guard<std::mutex> lock(m_fileLock);
    if (!m_file || !KeepUnderSizeLimit()) return false;
    // One formatted write and a flush: records never interleave inside a line.
    return std::fprintf(m_file.get(), "%s", text) >= 0 && std::fflush(m_file.get()) == 0;
}
