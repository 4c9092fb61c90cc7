// veldora-export record REPORT --history FILE [--label TEXT] [--keep N]
#pragma once

int runRecordCommand(int argc, char** argv);
