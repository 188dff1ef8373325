#pragma once
// The one exception type of the system: a standard exception carrying a copy
// of its message text. Whoever catches it shows or traces what().
#include <exception>
#include <string>

class CError : public std::exception {
public:
    explicit CError(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

// "Internal error <code> (details: <details>). Write down this numbers ..."
std::string FormatInternalError(int code, int details);

[[noreturn]] void RaiseInternalError(int code, int details);
