#pragma once
// A task runs in one of two kinds of session: a clean, or a preview that
// changes nothing. Each kind has a session data file, a status file and
// named events of its own, so that a preview never replaces a clean's
// records and never makes a due clean look as if it were running.
enum class SessionKind { Clean, Preview };
