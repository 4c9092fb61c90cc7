// veldora-export html: the command that reads a report and writes its page.
#pragma once

// "html REPORT [-o OUT]"; returns the exit status.
int runHtmlCommand(int argc, char** argv);
