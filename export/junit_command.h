// veldora-export junit REPORT [-o OUT] [--system-out none|failures|all] [--source-root DIR]
#pragma once

int runJunitCommand(int argc, char** argv);
