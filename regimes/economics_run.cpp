#include "economics_run.h"

#include "base/csv.h"

namespace tavelo {

RunResult refusedByEconomics()
{
    RunResult r;
    r.status = RunResult::Status::Refused;
    return r;
}

std::string economicsCsvLine(const std::string &id, const Valuation &v)
{
    std::string line = csvCell(id);
    line += ',';
    line += moneyText(v.npv);
    line += ',';
    line += v.eaa ? moneyText(*v.eaa) : std::string();
    line += ',';
    line += v.lev ? moneyText(*v.lev) : std::string();
    line += '\n';
    return line;
}

} // namespace tavelo
