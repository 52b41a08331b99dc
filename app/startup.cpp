#include "app/startup.h"

#include "platform/bindings.h"
#include "text/text.h"

Text RunDirectory;
Text ExecutableName;

Text OwnPath() { return RunDirectory + "\\" + ExecutableName; }

void SplitAtLastBackslash(const Text& path, Text* directory, Text* name) {
  size_t cut = path.size();  // none yet
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\')
      cut = i;
    else if (c >= 0x80)
      ++i;  // a trail byte may be 0x5C, and is no separator
  }
  if (cut == path.size()) {
    *directory = Text();
    *name = path;
    return;
  }
  *directory = Text(path.c_str(), cut);
  *name = Text(path.c_str() + cut + 1, path.size() - cut - 1);
}

void TakeModulePath() {
  WideBuffer wide(MAX_PATH * sizeof(wchar_t));
  kernel32.GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(wide.data()), MAX_PATH);
  SplitAtLastBackslash(WideToText(wide), &RunDirectory, &ExecutableName);
  kernel32.SetCurrentDirectoryW(WideChars(TextToWide(RunDirectory)));
}
