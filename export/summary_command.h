// veldora-export summary REPORT [--format plain|github] [--max N] [--source-root DIR]
#pragma once

int runSummaryCommand(int argc, char** argv);
