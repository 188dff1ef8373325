#include "ui/backgroundcall.h"

#include "common/tracer.h"

#include <exception>
#include <system_error>

CBackgroundCall::~CBackgroundCall()
{
    if (m_thread.joinable()) m_thread.detach();
}

bool CBackgroundCall::Start(HWND window, UINT doneMessage, std::function<void()> call)
{
    if (IsBusy()) return false;
    auto outcome = std::make_shared<Outcome>();
    try {
        m_thread = std::thread([outcome, window, doneMessage, call = std::move(call)] {
            try {
                call();
            } catch (const std::exception& error) {
                outcome->error = error.what();
            }
            ::PostMessageA(window, doneMessage, 0, 0);
        });
    } catch (const std::system_error& error) {
        TRACE(40, "Cannot start a background call - %s", error.what());
        return false;
    }
    m_outcome = std::move(outcome);
    return true;
}

std::string CBackgroundCall::Finish()
{
    // The thread has posted its message: it ends at once.
    if (m_thread.joinable()) m_thread.join();
    std::string error = m_outcome ? m_outcome->error : std::string();
    m_outcome.reset();
    return error;
}
