#include "runtime/sessionlog.h"

#include "common/error.h"
#include "common/ownfile.h"
#include "common/tracer.h"
#include "jobapi/jobapi.h"
#include "tasks/taskfiles.h"

#include <cstring>

namespace {

// The tag at the start of every record, without a terminator.
const char kRecordTag[4] = {'H', 'O', 'T', 'W'};

}  // namespace

std::string CSessionLog::FilePath(const std::string& taskName, SessionKind kind)
{
    return TaskFiles(taskName).Path(kind == SessionKind::Preview ? TaskFiles::PreviewSessionData : TaskFiles::SessionData);
}

void CSessionLogWrite::Create(const std::string& taskName, SessionKind kind)
{
    TRACE(20, "CSessionLogWrite::Create");
    m_sequence = 0;
    // Shared for deletion: a task deleted while it runs takes its session
    // data file with it once this run closes the file.
    m_file = OpenOwnFile(FilePath(taskName, kind), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OwnFileMode::Keep, FILE_ATTRIBUTE_HIDDEN);
    if (!m_file) {
        const DWORD error = ::GetLastError();
        // A vanished folder is given up quietly: the first write reports it.
        if (error != ERROR_FILE_NOT_FOUND) {
            RaiseSystemError(kSessionFileNotOpened, "Failed to create session data file - %d", error);
        }
    }
    // Sessions number their records from their start time, so that a reader
    // can tell one session's records from another's; a session that starts
    // in the same second as the one it replaces (or after the clock went
    // back) numbers from one past that one's start instead.
    const std::uint32_t previousStart = m_file ? PreviousSessionStart() : 0;
    m_sequence = static_cast<std::uint32_t>(GetLocalNow());
    if (previousStart != 0 && static_cast<std::int32_t>(m_sequence - previousStart) <= 0) m_sequence = previousStart + 1;
    if (m_file) StartEmpty();
    TRACE(20, "Writing startup record");
    Write("Session started", kEventInformation);
    TRACE(20, "CSessionLogWrite::Create - done");
}

std::uint32_t CSessionLogWrite::PreviousSessionStart()
{
    SessionRecord first;
    DWORD got = 0;
    if (!::ReadFile(m_file.Get(), &first, sizeof first, &got, nullptr) || got != sizeof first ||
        std::memcmp(first.magic, kRecordTag, sizeof kRecordTag) != 0) {
        return 0;  // no previous session, or none worth telling apart from
    }
    return first.sequence - 1;
}

// Empties the file as its recreation would: the readers see a new session.
void CSessionLogWrite::StartEmpty()
{
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(m_file.Get(), zero, nullptr, FILE_BEGIN) || !::SetEndOfFile(m_file.Get())) {
        RaiseSystemError(kSessionFileNotOpened, "Failed to create session data file - %d");
    }
}

void CSessionLogWrite::Write(const std::string& message, int type)
{
    TRACE(20, "CSessionLogWrite::Write");
    SessionRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.magic, kRecordTag, sizeof kRecordTag);
    record.version = 1;
    record.sequence = ++m_sequence;
    record.type = type;
    std::strncpy(record.message, message.c_str(), sizeof record.message);
    record.message[sizeof record.message - 1] = '\0';
    record.time = GetLocalNow();

    DWORD written = 0;
    if (!::WriteFile(m_file.Get(), &record, sizeof record, &written, nullptr) || written != sizeof record) {
        RaiseSystemError(kSessionRecordNotWritten, "WriteFile error - %d");
    }
    TRACE(20, "CSessionLogWrite::Write - done");
}

void CSessionLogWrite::WriteFinished()
{
    Write("Session finished", kEventInformation);
}

void CSessionLogRead::Attach(const std::string& taskName, SessionKind kind)
{
    TRACE(20, "CSessionLogRead::Attach");
    m_taskName = taskName;
    m_kind = kind;
    m_opened = false;
    TRACE(20, "CSessionLogRead::Attach");
}

bool CSessionLogRead::IsEmpty()
{
    if (!m_opened) {
        m_file.Reset(::CreateFileA(FilePath(m_taskName, m_kind).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND) return true;  // tried again next time
            RaiseSystemError(kSessionFileNotOpened, "Failed to create session data file - %d", error);
        }
        SeekFirst();
        m_opened = true;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(m_file.Get(), &size)) return true;
    return size.QuadPart == 0;
}

void CSessionLogRead::SeekFirst()
{
    TRACE(20, "CSessionLogRead::SeekFirst");
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(m_file.Get(), zero, nullptr, FILE_BEGIN)) {
        RaiseSystemError(kSessionFileNotRewound, "Failed to seek first record - %d");
    }
    ::GetFileTime(m_file.Get(), nullptr, nullptr, &m_lastWriteTime);
    DropReadAhead();
    m_lastSequence = 0;
    m_firstSequence = 0;
    m_recordsInPass = 0;
    TRACE(20, "CSessionLogRead::SeekFirst - done");
}

bool CSessionLogRead::Read(std::string* message, int* type, time32* time, bool* restarted)
{
    TRACE(20, "CSessionLogRead::Read");
    *restarted = false;
    if (m_aheadNext == m_ahead.size()) {
        if (IsEmpty()) return false;
        FILETIME writeTime = {};
        if (FileWasRecreated(&writeTime)) {
            SeekFirst();  // by a new session
            *restarted = true;
        }
        m_lastWriteTime = writeTime;
    }
    SessionRecord record;
    if (!ReadRecord(record)) {
        // The write time that goes with what was read is the one at its end:
        // the time taken before reading may be older than a record appended
        // meanwhile, and would then make the next poll, at the same size,
        // take the file for a new session.
        ::GetFileTime(m_file.Get(), nullptr, nullptr, &m_lastWriteTime);
        TRACE(10, "CSessionLogRead::Read - EOF");
        return false;
    }
    // Any sequence number is a real one, 0 included: the first record of a
    // pass is told by the count of records taken, never by a number.
    if ((m_recordsInPass == 0 || record.sequence != m_lastSequence + 1) && !StartOver(record, restarted)) return false;
    // Deliberately lenient: either the tag or the version makes a good
    // header, as the file format has it; only a record wrong in both is refused.
    if (std::memcmp(record.magic, kRecordTag, sizeof kRecordTag) != 0 && record.version != 1)
        RaiseInternalError(kSessionRecordBadHeader, 0);

    message->assign(record.message, strnlen(record.message, sizeof record.message));
    *type = record.type;
    *time = record.time;
    if (m_recordsInPass == 0) m_firstSequence = record.sequence;
    m_lastSequence = record.sequence;
    ++m_recordsInPass;
    TRACE(20, "CSessionLogRead::Read - done");
    return true;
}

// A file shorter than the records taken in this pass, or as long but
// written since, was recreated.
bool CSessionLogRead::FileWasRecreated(FILETIME* writeTime)
{
    const long long consumed =
        static_cast<long long>(m_recordsInPass == 0 ? 1 : m_recordsInPass) * static_cast<long long>(sizeof(SessionRecord));
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(m_file.Get(), &size);
    ::GetFileTime(m_file.Get(), nullptr, nullptr, writeTime);
    return size.QuadPart < consumed || (size.QuadPart == consumed && !SameFileTime(*writeTime, m_lastWriteTime));
}

void CSessionLogRead::DropReadAhead()
{
    m_ahead.clear();
    m_aheadNext = 0;
}

// A whole record, or false at the end of the data; a record caught half
// written is read again at the next poll.
bool CSessionLogRead::ReadRecord(SessionRecord& record)
{
    if (m_aheadNext < m_ahead.size()) {
        record = m_ahead[m_aheadNext++];
        return true;
    }
    const size_t kRecordsPerRead = 512;
    LARGE_INTEGER here = {};
    LARGE_INTEGER zero = {};
    ::SetFilePointerEx(m_file.Get(), zero, &here, FILE_CURRENT);
    m_ahead.resize(kRecordsPerRead);
    DWORD got = 0;
    if (!::ReadFile(m_file.Get(), m_ahead.data(), static_cast<DWORD>(kRecordsPerRead * sizeof record), &got,
                    nullptr)) {
        DropReadAhead();
        RaiseSystemError(kSessionRecordNotRead, "ReadFile error - %d");
    }
    const DWORD partial = got % sizeof record;
    if (partial > 0) {
        LARGE_INTEGER back;
        back.QuadPart = -static_cast<LONGLONG>(partial);
        ::SetFilePointerEx(m_file.Get(), back, nullptr, FILE_CURRENT);
    }
    m_ahead.resize(got / sizeof record);
    m_aheadNext = 0;
    m_aheadOffset = here.QuadPart;
    if (m_ahead.empty()) return false;
    record = m_ahead[m_aheadNext++];
    return true;
}

// Another session's numbering, or the first record of a pass: reads the file's
// first record instead; false when there is none or the break is damage.
bool CSessionLogRead::StartOver(SessionRecord& record, bool* restarted)
{
    const std::uint32_t passFirst = m_firstSequence;
    const std::uint32_t passLast = m_lastSequence;
    const std::uint32_t passRecords = m_recordsInPass;
    // The record that broke the sequence: read again when the pass resumes.
    LARGE_INTEGER resumeAt = {};
    resumeAt.QuadPart = m_aheadOffset + static_cast<LONGLONG>(m_aheadNext - 1) * static_cast<LONGLONG>(sizeof record);
    SeekFirst();
    *restarted = true;
    if (!ReadRecord(record)) {
        TRACE(20, "CSessionLogRead::Read - EOF");
        return false;
    }
    if (passRecords != 0 && record.sequence == passFirst) {
        // Taking the damage for a new session would hand out the first
        // record again and again: the pass stays where it was.
        TRACE(30, "CSessionLogRead::Read - record out of sequence, end of data");
        ::SetFilePointerEx(m_file.Get(), resumeAt, nullptr, FILE_BEGIN);
        DropReadAhead();
        m_firstSequence = passFirst;
        m_lastSequence = passLast;
        m_recordsInPass = passRecords;
        *restarted = false;
        return false;
    }
    return true;
}
