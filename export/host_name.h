// The name of the machine running the export, for JUnit's hostname.
#pragma once

#include <string>

// "" when the system does not tell.
std::string hostName();
