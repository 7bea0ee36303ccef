#pragma once

#include <stdexcept>
#include <string>

namespace tavelo {

// The two wordings of the out-of-limits message: some checks of the model put a
// blank after the exclamation mark, others do not. Both are kept as users know them.
inline constexpr const char *kTitleResultadosInconsistentes = "Resultados Inconsistentes";
inline constexpr const char *kTitleDadosInconsistentes = "Dados Inconsistentes";
inline constexpr const char *kTextOutsideNoBlank =
    "Simulação fora dos limites do modelo!A simulação vai terminar.";
inline constexpr const char *kTextOutsideBlank =
    "Simulação fora dos limites do modelo! A simulação vai terminar.";
inline constexpr const char *kTextNoConvergenceNoBlank =
    "Os dados introduzidos não permitem a convergência do modelo!A simulação vai terminar.";
inline constexpr const char *kTextNoConvergenceBlank =
    "Os dados introduzidos não permitem a convergência do modelo! A simulação vai terminar.";

// A failure the model reports to whoever shows it: the message box's title and text.
class ModelError : public std::runtime_error {
public:
    ModelError(std::string title, std::string text)
        : std::runtime_error(title + ": " + text), title_(std::move(title)), text_(std::move(text))
    {
    }
    const std::string &title() const { return title_; }
    const std::string &text() const { return text_; }

private:
    std::string title_;
    std::string text_;
};

// The stand left the model's limits: the simulation ends after the message.
class ModelLimitError : public ModelError {
public:
    using ModelError::ModelError;
    static ModelLimitError outside(bool blankAfterBang)
    {
        return {kTitleResultadosInconsistentes, blankAfterBang ? kTextOutsideBlank : kTextOutsideNoBlank};
    }
};

// An argument outside the domain where the equations are defined (no trees,
// age not positive, ...). A screen refuses the entry; nothing ends.
class ModelInputError : public ModelError {
public:
    explicit ModelInputError(std::string text) : ModelError("Dados Inválidos", std::move(text)) {}
};

} // namespace tavelo
