#include "runtime/previewreport.h"

#include "common/error.h"
#include "common/ownfile.h"
#include "common/timeutil.h"
#include "common/tracer.h"
#include "tasks/taskfiles.h"

void CPreviewReport::Create(const std::string& taskName)
{
    const std::string path = TaskFiles(taskName).Path(TaskFiles::PreviewReport);
    m_file = OpenOwnFile(path, GENERIC_WRITE, FILE_SHARE_READ, OwnFileMode::Replace, FILE_ATTRIBUTE_NORMAL);
    if (!m_file) {
        const DWORD error = ::GetLastError();
        TRACE(40, "CPreviewReport::Create - %d", static_cast<int>(error));
        throw CError("Cannot write the preview report " + path + " (Error: " + std::to_string(error) + ")");
    }
    WriteLine("Preview of task '" + taskName + "', " + FormatDateTime(GetLocalNow()) +
              ": what a cleanup would remove, with the disk space of each file in bytes.");
    WriteLine("Bytes\tWhat");
}

void CPreviewReport::Add(const std::string& entry)
{
    // One entry, one line: a name found on disk or in a database may hold
    // line breaks of its own.
    std::string line = entry;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    if (IsOpen()) WriteLine(line);
}

void CPreviewReport::WriteLine(const std::string& line)
{
    const std::string text = line + "\r\n";
    DWORD written = 0;
    if (!::WriteFile(m_file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        TRACE(40, "CPreviewReport::WriteLine - %d", static_cast<int>(::GetLastError()));
    }
}
