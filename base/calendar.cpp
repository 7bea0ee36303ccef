#include "calendar.h"

#include <QDate>

namespace tavelo {

std::string thisYear()
{
    return std::to_string(QDate::currentDate().year());
}

} // namespace tavelo
