// The tested contracts section: every class of every tree, in name order.
#pragma once

#include "report/report_context.h"

void writeContractsSection(ReportContext& report);
