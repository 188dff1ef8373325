#pragma once
// Web addresses and the preview report are handed to the shell in a process
// of their own: the shell may take any time over a target, never answer, or
// fail so badly that it takes its process down (Wine's shell does with an
// address of about a thousand characters), and the resident instance must
// go on answering whatever the shell does.
#include <windows.h>

#include <string>

// What the shell could not open, posted back to the window that asked.
struct ShellNotOpened {
    std::string target;
    int code = 0;  // the shell's answer (32 or below), WAIT_TIMEOUT when none came in time, or how its process ended
};

// The switch of the program's role that opens one target with the shell:
// "Tidewhistle.exe /open <target>".
constexpr char kOpenSwitch[] = "/open";

// Starts that role for target and returns at once. When the shell fails, or
// has not taken the target within a time limit, owner is posted
// replyMessage, whose wParam the receiver hands to TakeShellNotOpened.
void OpenInBackground(HWND owner, const std::string& target, UINT replyMessage);
// What a reply stands for; false when this process posted no such reply
// (any program may post a registered message).
bool TakeShellNotOpened(WPARAM reply, ShellNotOpened* failed);

// The role's own work, in the process started for it: opens target with
// its default handler. Only a web address (IsUsableWebAddress) or a
// preview report of the data folder is opened. 0 when the shell took it,
// otherwise the shell's answer, or ERROR_INVALID_PARAMETER for a target
// refused.
int OpenWithShell(const std::string& target);

// Opens a web address with OpenInBackground; on failure owner gets
// UrlNotOpenedMessage(), answered with ReportUrlNotOpened.
void OpenUrl(HWND owner, const char* url);
UINT UrlNotOpenedMessage();

// Puts the address on the clipboard and tells the user to open it by hand.
void ReportUrlNotOpened(HWND owner, const std::string& url);
