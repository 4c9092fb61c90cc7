// The report format's tables of STYLE values and icon files.
#include "support/report_format.h"

namespace {

const char* const kCellStyles[] = {"Array Title", "Array", "Array Failed", "Array Passed"};
const char* const kIconFiles[] = {"method.xpm", "class.xpm", "testscript.xpm"};

}  // namespace

const char* cellStyleName(int style) {
  return kCellStyles[style < StyleTitle || style > StylePassed ? StyleFailed : style];
}

int cellStyleFromName(std::string_view name) {
  for (int style = StyleTitle; style <= StylePassed; ++style)
    if (name == kCellStyles[style]) return style;
  return -1;
}

const char* iconFile(int icon) {
  return icon < IconMethod || icon > IconTestScript ? nullptr : kIconFiles[icon];
}

NodeIcon iconFromFile(std::string_view file) {
  for (int icon = IconMethod; icon <= IconTestScript; ++icon)
    if (file == kIconFiles[icon]) return static_cast<NodeIcon>(icon);
  return IconNone;
}
