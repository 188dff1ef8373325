#include "plugin/engines/sitedata/serviceworkerlist.h"

#include "plugin/engines/sitedata/siteorigins.h"

namespace {

// The lines of one registration before its "#" line, by version, and which
// of them is the scope. Version 10 adds a count of extra key and value lines
// after the fixed run; version 11 then three numbers (activation attempts,
// a broken flag, a cache id), version 12 a fourth (the worker's type).
struct RegistrationShape {
    int version;
    size_t lines;
    size_t scopeLine;
    bool fetchFlag;       // its fourth line is "true" or "false"
    bool extraPairs;      // a hexadecimal count of key and value lines follows the fixed run
    size_t numberLines;   // decimal numbers after those pairs
};
const RegistrationShape kShapes[] = {
    {2, 7, 2, false, false, 0}, {3, 5, 2, false, false, 0}, {4, 4, 1, false, false, 0},
    {5, 5, 1, true, false, 0},  {6, 6, 1, true, false, 0},  {7, 9, 1, true, false, 0},
    {8, 9, 1, true, false, 0},  {9, 11, 1, true, false, 0}, {10, 11, 1, true, true, 0},
    {11, 11, 1, true, true, 3}, {12, 11, 1, true, true, 4},
};

const RegistrationShape* ShapeOf(const std::string& header)
{
    for (const RegistrationShape& shape : kShapes) {
        if (header == std::to_string(shape.version)) return &shape;
    }
    return nullptr;
}

// The text line by line: each line's text, and where the next one begins.
class CLineReader {
public:
    explicit CLineReader(const std::string& text) : m_text(text) {}
    bool AtEnd() const { return m_pos >= m_text.size(); }
    size_t Position() const { return m_pos; }
    bool Next(std::string& line)
    {
        if (AtEnd()) return false;
        const size_t end = m_text.find('\n', m_pos);
        line = m_text.substr(m_pos, end == std::string::npos ? std::string::npos : end - m_pos);
        m_pos = end == std::string::npos ? m_text.size() : end + 1;
        return true;
    }

private:
    const std::string& m_text;
    size_t m_pos = 0;
};

bool ReadHexCount(const std::string& text, size_t& count)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    count = std::stoul(text, nullptr, 16);
    return true;
}

// A number as Firefox writes one: decimal digits, a minus sign allowed.
bool IsDecimalNumber(const std::string& text)
{
    const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    return text.size() > digits && text.size() <= 21 &&
           text.find_first_not_of("0123456789", digits) == std::string::npos;
}

// One registration, or the problem that makes the text no list.
std::string ReadRegistration(CLineReader& reader, const std::string& text, const RegistrationShape& shape,
                             ServiceWorkerRegistration& registration)
{
    const size_t start = reader.Position();
    std::string value;
    for (size_t line = 0; line < shape.lines; ++line) {
        if (!reader.Next(value)) return "a registration is cut short";
        // The origin attributes are empty or start with a caret: anything else means the lines are out of step.
        if (line == 0 && !value.empty() && value[0] != '^') return "a registration does not start with its attributes";
        if (line == shape.scopeLine) {
            if (value.empty()) return "a registration has no scope";
            registration.host = HostOfAddress(value);
        }
        if (shape.fetchFlag && line == 3 && value != "true" && value != "false") {
            return "a registration has a flag that is neither true nor false";
        }
    }
    if (shape.extraPairs) {
        size_t count = 0;
        if (!reader.Next(value) || !ReadHexCount(value, count)) return "a registration has a count that is not one";
        for (size_t extra = 2 * count; extra > 0; --extra) {
            if (!reader.Next(value)) return "a registration is cut short";
        }
    }
    for (size_t line = 0; line < shape.numberLines; ++line) {
        if (!reader.Next(value)) return "a registration is cut short";
        if (!IsDecimalNumber(value)) return "a registration has a number that is not one";
    }
    if (!reader.Next(value) || value != "#") return "a registration is not closed by its # line";
    registration.text = text.substr(start, reader.Position() - start);
    return std::string();
}

}  // namespace

bool ParseServiceWorkerList(const std::string& text, ServiceWorkerList& list, std::string& problem)
{
    CLineReader reader(text);
    std::string version;
    const RegistrationShape* shape = reader.Next(version) ? ShapeOf(version) : nullptr;
    if (shape == nullptr) {
        problem = "its version (" + version.substr(0, 16) + ") is not one this program knows";
        return false;
    }
    ServiceWorkerList read;
    read.header = text.substr(0, reader.Position());
    while (!reader.AtEnd()) {
        ServiceWorkerRegistration registration;
        problem = ReadRegistration(reader, text, *shape, registration);
        if (!problem.empty()) return false;
        read.registrations.push_back(std::move(registration));
    }
    list = std::move(read);
    return true;
}
