// What a refusal says: the message of the exception an action throws.
#pragma once

#include <string>

namespace vobrix::testing {

// The message of the Error that action throws, or none when it throws nothing.
template <class Error, class Action>
std::string ErrorText(Action action, std::string none) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return none;
}

}  // namespace vobrix::testing
