// veldora-export ci REPORT [--history FILE] [--ots FILES...] [options]
#pragma once

class CommandArguments;

int runCiCommand(const CommandArguments& args);
