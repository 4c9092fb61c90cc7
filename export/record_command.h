// veldora-export record REPORT --history FILE [--label TEXT] [--keep N]
#pragma once

class CommandArguments;

int runRecordCommand(const CommandArguments& args);
