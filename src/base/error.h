#pragma once
// The one exception type of the engine. Its message is CP932 text, usually the system's own
// Japanese wording; it is converted to UTF-8 only where it is shown.
#include <stdexcept>
#include <string>

namespace ruko {

class ERukoError : public std::runtime_error
{
  public:
    explicit ERukoError(const std::string& messageCp932) : std::runtime_error(messageCp932) {}
};

// printf-style formatting of a message text; the one place message texts are put together.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

[[noreturn]] void RaiseError(const std::string& messageCp932);

} // namespace ruko
