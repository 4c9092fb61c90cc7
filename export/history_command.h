// veldora-export history copy FROM TO
#pragma once

class CommandArguments;

int runHistoryCommand(const CommandArguments& args);
