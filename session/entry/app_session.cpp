#include "app_session.h"

#include "base/numeric_text.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

namespace tavelo {

std::optional<Message> CheckDecimalSeparator(const NumberConventions &conventions)
{
    std::string text = "0.5";
    if (!conventions.groupSeparator.empty()) {
        std::string kept;
        for (size_t i = 0; i < text.size();) {
            if (text.compare(i, conventions.groupSeparator.size(), conventions.groupSeparator) == 0) {
                i += conventions.groupSeparator.size();
                continue;
            }
            kept.push_back(text[i++]);
        }
        text = kept;
    }
    // Put the point in place of the user's decimal separator, then read it.
    std::string normalised;
    bool unreadable = false;
    for (size_t i = 0; i < text.size();) {
        if (!conventions.decimalSeparator.empty() &&
            text.compare(i, conventions.decimalSeparator.size(), conventions.decimalSeparator) == 0) {
            normalised.push_back('.');
            i += conventions.decimalSeparator.size();
        } else if (text[i] == '.') {
            unreadable = true; // a point that is neither decimal nor grouping separator
            ++i;
        } else {
            normalised.push_back(text[i++]);
        }
    }
    if (unreadable)
        return std::nullopt;
    const auto value = parseNumber(normalised);
    if (!value)
        return std::nullopt;
    if (static_cast<float>(*value) == 0.5f)
        return std::nullopt;
    return Message::warning("Erro", "O símbolo separador decimal deve ser o ponto!\r\n"
                                    "Com a configuração actual o programa não corre correctamente. \r\n"
                                    "Utilize as Definições Regionais do Painel de Controlo para alterar estas "
                                    "definições.");
}

std::string chooseLogName(const std::filesystem::path &folder)
{
    for (unsigned long n = 1;; ++n) {
        const std::string name = "Simulacao" + std::to_string(n) + ".temp";
        std::error_code ec;
        if (!std::filesystem::exists(folder / name, ec))
            return name;
    }
}

bool isWritableFolder(const std::filesystem::path &folder)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return false;
    // Try it: permissions alone do not tell (read-only mounts, root).
    std::random_device rd;
    const auto probe = folder / (".tavelo-probe-" + std::to_string(rd()));
    {
        std::ofstream f(probe, std::ios::binary);
        if (!f)
            return false;
    }
    std::filesystem::remove(probe, ec);
    return true;
}

std::filesystem::path chooseLogFolder(const std::filesystem::path &programFolder,
                                      const std::filesystem::path &userDataFolder)
{
    if (isWritableFolder(programFolder))
        return programFolder;
    std::error_code ec;
    std::filesystem::create_directories(userDataFolder, ec);
    return userDataFolder;
}

} // namespace tavelo
