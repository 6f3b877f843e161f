// Registration of the drivers that come with the engine. driverFor() calls
// registerBuiltinDrivers() once on first use.
#pragma once

#include "platform/drivers/external.h"
#include "platform/drivers/read_boundary.h"

#include <memory>

namespace drivers {

void registerExcelDrivers();

/// The Excel driver's read of a sheet ("Sheet1$" and the like) in its child
/// process, with these limits (the driver's own reads use the defaults).
std::unique_ptr<RowReader> readExcelSheet(const Spec& spec, const QString& table, const ReadLimits& limits = {});
void registerBuiltinDrivers();

} // namespace drivers
