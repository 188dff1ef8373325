#include "trace_capture.h"

#include "common/tracer.h"
#include "text_file.h"

#include <algorithm>

namespace {

// "(pid=..., tid=...) date time  | [module] " ends at the first "] ".
std::string MessageOf(const std::string& line)
{
    const size_t bar = line.find("  | [");
    if (bar == std::string::npos) return std::string();
    const size_t end = line.find("] ", bar);
    return end == std::string::npos ? std::string() : line.substr(end + 2);
}

}  // namespace

TraceCapture::TraceCapture(int threshold) : m_path(m_folder.File("trace.log"))
{
    g_tracer.SetModuleName("Test");
    g_tracer.Open(CTracer::kFile, threshold, m_path.c_str());
}

TraceCapture::~TraceCapture()
{
    g_tracer.Close();
}

std::vector<std::string> TraceCapture::Messages() const
{
    std::string content;
    std::vector<std::string> messages;
    ReadWholeFile(m_path, &content);
    for (const std::string& line : SplitCrLfLines(content)) {
        if (line.find("  | [") != std::string::npos) messages.push_back(MessageOf(line));
    }
    return messages;
}

bool TraceCapture::Has(const std::string& message) const
{
    const std::vector<std::string> messages = Messages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}
