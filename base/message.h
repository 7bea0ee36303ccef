#pragma once

#include <string>
#include <vector>

namespace tavelo {

// A message box as the session decides it; a screen only shows it.
struct Message {
    enum class Icon { None, Error, Warning, Information, Question };
    enum class Buttons { Ok, YesNo };

    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    std::string title;
    std::string text;

    static Message error(std::string title, std::string text)
    {
        return {Icon::Error, Buttons::Ok, std::move(title), std::move(text)};
    }
    static Message warning(std::string title, std::string text)
    {
        return {Icon::Warning, Buttons::Ok, std::move(title), std::move(text)};
    }
    static Message information(std::string title, std::string text)
    {
        return {Icon::Information, Buttons::Ok, std::move(title), std::move(text)};
    }
    static Message question(std::string title, std::string text)
    {
        return {Icon::Question, Buttons::YesNo, std::move(title), std::move(text)};
    }
    bool operator==(const Message &) const = default;
};

using Messages = std::vector<Message>;

// The program's own wording for a file that cannot be written.
inline Message fileWriteError()
{
    return Message::error("Erro!", "Erro de gravação do ficheiro...");
}

} // namespace tavelo
