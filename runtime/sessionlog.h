#pragma once
// The session data file "<task>.log_file" in the data folder (a preview's
// is "<task>.preview_log"): fixed-size
// records through which a task process reports to whoever follows the task.
// The writer appends whole records with single writes; the reader follows
// the file while it grows and notices when a new session recreates it.
#include "common/handles.h"
#include "common/timeutil.h"
#include "runtime/sessionkind.h"

#include <cstdint>
#include <string>
#include <vector>

#pragma pack(push, 1)
struct SessionRecord {
    char magic[4];          // "HOTW", no terminator
    std::uint32_t version;  // always 1
    std::uint32_t sequence; // consecutive within a session
    std::int32_t type;      // 0 error, 1 warning, 2 information
    char message[200];      // NUL-terminated, at most 199 characters
    std::int32_t time;      // seconds since 1970
    std::uint8_t reserved[52];
};
#pragma pack(pop)
static_assert(sizeof(SessionRecord) == 272, "session records are 272 bytes");

class CSessionLog {
public:
    virtual ~CSessionLog() = default;

    // The task's session data file path: a clean's, or a preview's.
    static std::string FilePath(const std::string& taskName, SessionKind kind = SessionKind::Clean);

protected:
    UniqueHandle m_file;
};

class CSessionLogWrite : public CSessionLog {
public:
    // Recreates the file and writes "Session started". Raises CError.
    void Create(const std::string& taskName, SessionKind kind = SessionKind::Clean);
    // Appends one record. Raises CError (internal error 10).
    void Write(const std::string& message, int type);
    void WriteFinished();

private:
    // The sequence number before the first record of the session the file
    // holds; 0 when it holds none.
    std::uint32_t PreviousSessionStart();
    void StartEmpty();

    std::uint32_t m_sequence = 0;
};

class CSessionLogRead : public CSessionLog {
public:
    void Attach(const std::string& taskName, SessionKind kind = SessionKind::Clean);
    // True when the file does not exist (yet) or holds no byte.
    bool IsEmpty();
    void SeekFirst();
    // The next record; restarted tells that the reader went back to the
    // first record of a new session. False at the end of the data.
    bool Read(std::string* message, int* type, time32* time, bool* restarted);

private:
    bool FileWasRecreated(FILETIME* writeTime);
    bool ReadRecord(SessionRecord& record);
    bool StartOver(SessionRecord& record, bool* restarted);
    void DropReadAhead();

    // Records read from the file but not handed out yet: one read takes
    // many records, since under Wine every call to the system costs a round
    // trip to the wineserver. The file is looked at again (recreated? grown?)
    // only when they are all handed out.
    std::vector<SessionRecord> m_ahead;
    size_t m_aheadNext = 0;
    LONGLONG m_aheadOffset = 0;  // where m_ahead[0] lies in the file

    std::string m_taskName;
    SessionKind m_kind = SessionKind::Clean;
    bool m_opened = false;
    std::uint32_t m_lastSequence = 0;
    std::uint32_t m_firstSequence = 0;
    std::uint32_t m_recordsInPass = 0;  // records taken since the start of the file
    FILETIME m_lastWriteTime = {};
};
