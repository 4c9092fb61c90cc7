// veldora-export html: the command that reads a report and writes its page.
#pragma once

class CommandArguments;

// "html REPORT [-o OUT]"; returns the exit status.
int runHtmlCommand(const CommandArguments& args);
