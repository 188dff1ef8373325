#pragma once
// The text of the exception an action raises, for comparing with the message
// a test expects.
#include "common/error.h"

#include <string>

// what() of the E the action raises; "(nothing raised)" when it returns
// normally. Exceptions of other types pass through.
template <class E = CError, class F>
std::string RaisedText(F&& action)
{
    try {
        action();
    } catch (const E& error) {
        return error.what();
    }
    return "(nothing raised)";
}
