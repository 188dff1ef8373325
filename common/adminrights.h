#pragma once
// Whether the process may do what only an administrator may: its token
// holds the Administrators group enabled. Under User Account Control an
// administrator's unelevated token holds it for denial only, so that is
// "no" too: the program never asks for elevation by itself.
bool RunsAsAdministrator();
