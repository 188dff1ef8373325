#include "tasks/configfile.h"

#include "common/error.h"
#include "common/ownfile.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/strparse.h"
#include "tasks/configtext.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// A task file is read whole into memory; the limit only stops a damaged or
// hostile file from taking all of it (a keep list of thousands of cookies
// is well below a megabyte).
const size_t kLongestFile = 64 * 1024 * 1024;

// Reads a whole task file into memory, opened with every sharing allowed
// and closed at once: a reader (the scheduler's rescan, a task process)
// never keeps the console from replacing the file, whatever Wine or Windows
// make of replacing a file that is open. Text as the C runtime's text mode
// gives it: CR LF read as LF, and the data end at a Ctrl+Z. Returns the
// system error (0 on success).
DWORD ReadWholeTaskFile(const std::string& path, std::string* content)
{
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size)) return ::GetLastError();
    if (size.QuadPart > static_cast<LONGLONG>(kLongestFile)) return ERROR_FILE_TOO_LARGE;
    std::string raw(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!raw.empty() && !::ReadFile(file.Get(), &raw[0], static_cast<DWORD>(raw.size()), &got, nullptr)) {
        return ::GetLastError();
    }
    raw.resize(got);
    *content = TaskFileTextOf(raw);
    return ERROR_SUCCESS;
}

}  // namespace

void CConfigFile::Open(const std::string& path, Mode mode, const std::string& reportedPath)
{
    Close();
    m_path = reportedPath.empty() ? path : reportedPath;
    errno = 0;
    if (mode == Mode::Read) {
        const DWORD error = ReadWholeTaskFile(path, &m_content);
        if (error != ERROR_SUCCESS) {
            throw CError(FormatResString(IDS_CANT_OPEN_FILE, m_path.c_str(),
                                         ErrnoText(ErrnoFromSystemError(error)).c_str()));
        }
        m_reading = true;
        m_position = 0;
        return;
    }
    // Never written through a link or a hard link someone put in its place.
    UniqueHandle file = OpenOwnFile(path, GENERIC_WRITE, 0, OwnFileMode::Replace, FILE_ATTRIBUTE_NORMAL);
    const int fd = file ? _open_osfhandle(reinterpret_cast<intptr_t>(file.Get()), _O_WRONLY | _O_TEXT) : -1;
    if (fd != -1) file.Release();  // the descriptor owns the handle now
    std::FILE* stream = fd != -1 ? _fdopen(fd, "w") : nullptr;
    if (stream == nullptr) {
        const int error = fd == -1 ? ErrnoFromSystemError(::GetLastError()) : errno;
        if (fd != -1) _close(fd);
        throw CError(FormatResString(IDS_CANT_OPEN_FILE, m_path.c_str(), ErrnoText(error).c_str()));
    }
    m_file.reset(stream);
}

void CConfigFile::Close()
{
    m_file.reset();
    m_path.clear();
    m_content.clear();
    m_position = 0;
    m_reading = false;
}

void CConfigFile::CommitAndClose()
{
    if (!m_file) return;
    errno = 0;
    if (std::fflush(m_file.get()) != 0) RaiseWriteError(errno);
    if (_commit(_fileno(m_file.get())) != 0) RaiseWriteError(errno);
    std::FILE* file = m_file.release();
    if (std::fclose(file) != 0) RaiseWriteError(errno);
    m_path.clear();
}

void CConfigFile::RaiseWriteError(int error) const
{
    throw CError(FormatResString(IDS_CANT_WRITE_FILE, m_path.c_str(), ErrnoText(error != 0 ? error : EIO).c_str()));
}

void CConfigFile::WriteString(const std::string& key, const std::string& value)
{
    errno = 0;
    // Text mode: each line ends in CR LF on the disk.
    if (std::fprintf(m_file.get(), "%s=%s\n", key.c_str(), value.c_str()) < 0) RaiseWriteError(errno);
}

void CConfigFile::WriteInt(const std::string& key, int value)
{
    WriteString(key, std::to_string(value));
}

void CConfigFile::WriteTime(const std::string& key, time32 t)
{
    LocalTime local;
    if (!TimeToLocal(t, &local)) {
        // Before 1970 or unreadable: written as the epoch rather than as garbage.
        TimeToLocal(0, &local);
    }
    char text[64];
    std::snprintf(text, sizeof text, kConfigTimeFormat, local.year, local.month, local.day, local.hour, local.minute,
                  local.second);
    WriteString(key, text);
}

std::string CConfigFile::ReadString(const std::string& key)
{
    std::string value;
    // A line is read whole, however long: whatever Save writes, Load reads back.
    const ConfigLine taken = m_reading ? TakeConfigLine(m_content, &m_position, key, &value) : ConfigLine::End;
    if (taken == ConfigLine::End) {
        // The end of the data: as a read at the end of the file reports it.
        throw CError(FormatResString(IDS_CANT_READ_FILE, m_path.c_str(), ErrnoText(0).c_str()));
    }
    if (taken == ConfigLine::BadFormat) throw CError(FormatResString(IDS_BAD_FILE_FORMAT, m_path.c_str()));
    return value;
}

time32 CConfigFile::ReadTime(const std::string& key)
{
    const std::string value = ReadString(key);
    LocalTime local;
    if (!ParseConfigTime(value, &local)) throw CError(FormatResString(IDS_BAD_FILE_FORMAT, m_path.c_str()));
    time32 t = 0;
    if (!LocalToTime(local, DaylightHint::Auto, &t)) {
        throw CError(FormatResString(IDS_BAD_DATE_TIME_FORMAT, m_path.c_str()));
    }
    return t;
}
