// The day counts of xls_serials.h.
#include "platform/drivers/xls_serials.h"

#include "platform/jet/value.h"

#include <cmath>

namespace drivers {

std::optional<double> xlsSerialBefore1900(double stored)
{
    if (!std::isfinite(stored))
        return std::nullopt;
    const double day = std::floor(stored);
    const double time = stored - day;
    const double serial = day < 0 && time > 0 ? day - time : stored;
    if (serial < -657434.0 || serial > 2958465.99999)
        return std::nullopt;
    const jet::DateParts p = jet::toParts(jet::DateTime{serial});
    if (p.year < 100 || p.year > 9999)
        return std::nullopt;
    return serial;
}

} // namespace drivers
