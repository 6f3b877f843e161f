// Registration of the drivers that come with the engine. driverFor() calls
// registerBuiltinDrivers() once on first use.
#pragma once

namespace drivers {

void registerExcelDrivers();
void registerBuiltinDrivers();

} // namespace drivers
