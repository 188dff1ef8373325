#include "tasks/configfile.h"

#include "common/error.h"
#include "common/resstring.h"
#include "common/strparse.h"
#include "ui/resource.h"

#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstring>
#include <vector>

const char kConfigTimeFormat[] = "%4d/%2d/%2d %2d:%2d:%2d";

namespace {

const size_t kLineBufferSize = 65536;  // lines are read up to 65535 characters

}  // namespace

void CConfigFile::Open(const std::string& path, Mode mode, const std::string& reportedPath)
{
    Close();
    errno = 0;
    m_file.reset(std::fopen(path.c_str(), mode == Mode::Write ? "w" : "r"));
    m_path = reportedPath.empty() ? path : reportedPath;
    if (!m_file) {
        const int error = errno;
        throw CError(FormatResString(IDS_CANT_OPEN_FILE, m_path.c_str(), ErrnoText(error).c_str()));
    }
}

void CConfigFile::Close()
{
    m_file.reset();
    m_path.clear();
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
    std::vector<char> buffer(kLineBufferSize);
    errno = 0;
    if (std::fgets(buffer.data(), static_cast<int>(buffer.size()), m_file.get()) == nullptr) {
        const int error = errno;
        throw CError(FormatResString(IDS_CANT_READ_FILE, m_path.c_str(), ErrnoText(error).c_str()));
    }
    std::string line = buffer.data();
    const size_t equals = line.find('=');
    // The comparison runs over the length of the file's key.
    if (equals == std::string::npos || key.compare(0, equals, line, 0, equals) != 0) {
        throw CError(FormatResString(IDS_BAD_FILE_FORMAT, m_path.c_str()));
    }
    std::string value = line.substr(equals + 1);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
    return value;
}

time32 CConfigFile::ReadTime(const std::string& key)
{
    const std::string value = ReadString(key);
    LocalTime local;
    if (std::sscanf(value.c_str(), kConfigTimeFormat, &local.year, &local.month, &local.day, &local.hour, &local.minute,
                    &local.second) < 6) {
        throw CError(FormatResString(IDS_BAD_FILE_FORMAT, m_path.c_str()));
    }
    time32 t = 0;
    if (!LocalToTime(local, DaylightHint::Auto, &t)) {
        throw CError(FormatResString(IDS_BAD_DATE_TIME_FORMAT, m_path.c_str()));
    }
    return t;
}
