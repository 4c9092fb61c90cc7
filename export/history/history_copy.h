// Copying a history from one location to another (history copy), either
// way between a file and a server: every project's every attempt of every
// part, in the order of recording, with its run's key and branch, its
// time, label, totals, objects, statuses and checks.
//
//   copyHistory("history.sqlite", "postgresql://ci@db.example.com:5432/veldora", &error)
#pragma once

#include <string>

// Refuses a target that holds runs of a project of the source, before it
// writes anything. *error: "LOCATION: why", the location as shown.
bool copyHistory(const std::string& from, const std::string& to, std::string* error);
